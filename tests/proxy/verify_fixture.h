// Tests that verify: the PKI's root in the user's Root store and its intermediate in CA (as
// a user's machine trusts them), a certificate check that records what it is given, and
// documents signed by the library itself or by the bundled xmlsec1 tool.
#pragma once

#include <openssl/evp.h>

#include <string>
#include <vector>

#include "tests/proxy/signing_fixture.h"

namespace quillet::test {

// The namespace of the GOST algorithm names.
constexpr char kGostNs[] = "urn:ietf:params:xml:ns:cpxmlsec:algorithms:";

// What the certificate check was given, and what it answers.
struct CheckRecord {
  static CheckRecord& Get() {
    static CheckRecord record;
    return record;
  }
  int verdict = 0;
  std::vector<Bytes> certificates;
};

// A CertificateCheckCallback that records the certificate's DER bytes and answers the
// recorded verdict.
inline int RecordCheck(PCCERT_CONTEXT certificate) {
  CheckRecord::Get().certificates.emplace_back(
      certificate->pbCertEncoded, certificate->pbCertEncoded + certificate->cbCertEncoded);
  return CheckRecord::Get().verdict;
}

// Base64 of bytes, without line breaks.
inline std::string Base64(const Bytes& bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                     static_cast<int>(bytes.size()));
  text.resize(static_cast<std::size_t>(length));
  return text;
}

// A document with a GOST R 34.10-2012 (256) signature template after its data, for xmlsec1
// to sign: `reference` is the Reference's URI and `transforms` its Transform elements, and
// `key_info` the content of KeyInfo.
inline std::string GostTemplate(const std::string& reference = "",
                                const std::string& transforms =
                                    "<Transform Algorithm=\"http://www.w3.org/2000/09/"
                                    "xmldsig#enveloped-signature\"/>",
                                const std::string& key_info = "<X509Data/>",
                                const std::string& data = "<Data>Привет, мир!</Data>") {
  return "<Envelope xmlns=\"urn:envelope\">" + data +
         "<Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\"><SignedInfo>"
         "<CanonicalizationMethod Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/>"
         "<SignatureMethod Algorithm=\"" +
         std::string(kGostNs) + "gostr34102012-gostr34112012-256\"/><Reference URI=\"" + reference +
         "\"><Transforms>" + transforms + "</Transforms><DigestMethod Algorithm=\"" + kGostNs +
         "gostr34112012-256\"/><DigestValue/></Reference></SignedInfo>"
         "<SignatureValue/><KeyInfo>" +
         key_info + "</KeyInfo></Signature></Envelope>";
}

class VerifyTest : public SigningTest {
 protected:
  void SetUp() override {
    SigningTest::SetUp();
    CheckRecord::Get() = CheckRecord();
    stores_.add("Root", pki_.root(), TestStores::AddOptions().noKey());
    stores_.add("CA", pki_.intermediate(), TestStores::AddOptions().noKey());
  }

  // Verifies the document with the optional certificate body and the check; the trace is
  // recorded from this call only.
  int VerifyWith(const std::string& document, const std::string& body = "",
                 CertificateCheckCallback check = RecordCheck) {
    Recorded::Clear();
    return proxy_.verify(RecordTrace, check, &document, &body);
  }

  // The trace lines of a call that traced nothing between its opening and closing lines.
  static std::vector<TraceLine> Bare(int code) {
    return {{L"Verify", 0, 0}, {L"Verify: " + std::to_wstring(code), code, 0}};
  }

  // Verifies and expects 216 with an xmlsec1 error that names the reason and the subject,
  // no other trace, and no certificate judged.
  void ExpectRefused(const std::string& document, const std::string& reason,
                     const std::string& subject, const std::string& body = "") {
    CheckRecord::Get() = CheckRecord();
    EXPECT_EQ(VerifyWith(document, body), 216);
    EXPECT_EQ(Recorded::lines(), Bare(216));
    bool reported = false;
    for (const std::string& error : Recorded::errors()) {
      reported |=
          error.find(reason) != std::string::npos && error.find(subject) != std::string::npos;
    }
    EXPECT_TRUE(reported) << DescribeErrors();
    EXPECT_TRUE(CheckRecord::Get().certificates.empty());
  }

  // A document signed by the library with a new signer of the type.
  std::string SignedBy(KeyType type, const std::string& document) {
    UseSigner(type);
    return Signed(document);
  }

  // The template signed by xmlsec1 with the credential (a test failure when it refuses).
  std::string SignedByTool(const std::string& templateXml, const Credential& signer) {
    std::string report;
    const std::string signedXml = signWithXmlsec1(templateXml, signer, scratch_.path(), &report);
    EXPECT_FALSE(signedXml.empty()) << report;
    return signedXml;
  }

  ScratchDir scratch_;
};

// The document with the first occurrence of `from` replaced by `to` (a test failure when it
// does not occur).
inline std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const std::string::size_type at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from << " not in " << text;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// The document without its KeyInfo element (the signature covers the rest, not KeyInfo).
inline std::string WithoutKeyInfo(const std::string& text) {
  const std::string::size_type start = text.find("<KeyInfo");
  const std::string::size_type end = text.find("</KeyInfo>");
  EXPECT_TRUE(start != std::string::npos && end != std::string::npos) << text;
  if (start == std::string::npos || end == std::string::npos) return text;
  return text.substr(0, start) + text.substr(end + std::string("</KeyInfo>").size());
}

}  // namespace quillet::test
