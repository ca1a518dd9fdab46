// "verify" requests through the real QuilletHost and its signature library, with the
// user's stores from the test PKI: documents signed by the host itself or by the bundled
// xmlsec1 tool, the signer's certificate judged by the host's checks, and the optional
// certificate of the request.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <string>
#include <vector>

#include "tests/engine/engine_test_support.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xmlsec_cli.h"

namespace quillet::test {
namespace {

const nlohmann::json kSuccess = {{"success", true}};

// Base64 of bytes, without line breaks.
std::string Base64(const Bytes& bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                     static_cast<int>(bytes.size()));
  text.resize(static_cast<std::size_t>(length));
  return text;
}

// The text with the first occurrence of `from` replaced by `to` (a test failure when it
// does not occur).
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const std::string::size_type at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from << " not in " << text;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// The document without its KeyInfo element, which the signature does not cover.
std::string WithoutKeyInfo(const std::string& text) {
  const std::string::size_type start = text.find("<KeyInfo");
  const std::string::size_type end = text.find("</KeyInfo>");
  EXPECT_TRUE(start != std::string::npos && end != std::string::npos) << text;
  if (start == std::string::npos || end == std::string::npos) return text;
  return text.substr(0, start) + text.substr(end + std::string("</KeyInfo>").size());
}

// A signature that names none of its parts: xmlsec1 cannot process it.
constexpr char kBrokenSignature[] =
    "<Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\"><SignedInfo/></Signature>";

// A document with an enveloped GOST R 34.10-2012 (256) signature template for xmlsec1 to
// fill, the signer's certificate going into KeyInfo; `after` follows the template.
std::string Template(const std::string& after = "") {
  const std::string gost = "urn:ietf:params:xml:ns:cpxmlsec:algorithms:";
  return "<Заявление номер=\"9\"><Текст>Прошу принять</Текст>"
         "<Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\"><SignedInfo>"
         "<CanonicalizationMethod Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/>"
         "<SignatureMethod Algorithm=\"" +
         gost +
         "gostr34102012-gostr34112012-256\"/><Reference URI=\"\"><Transforms><Transform "
         "Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/></Transforms>"
         "<DigestMethod Algorithm=\"" +
         gost +
         "gostr34112012-256\"/><DigestValue/></Reference></SignedInfo><SignatureValue/>"
         "<KeyInfo><X509Data/></KeyInfo></Signature>" +
         after + "</Заявление>";
}

class VerifyRequestTest : public ::testing::Test {
 protected:
  // The document signed by the host with the certificate of the user's "My" store.
  std::string SignedByHost(const Credential& signer, const std::string& document) {
    const nlohmann::json content =
        ContentOf(session_.ask(signRequest({document}, signer.sha1Hex())));
    return content.size() == 1 ? content[0].get<std::string>() : std::string();
  }
  // The template signed by xmlsec1 with the credential, whatever the certificate.
  std::string SignedByTool(const Credential& signer, const std::string& templateXml = Template()) {
    std::string report;
    const std::string signedXml = signWithXmlsec1(templateXml, signer, work_.path(), &report);
    EXPECT_FALSE(signedXml.empty()) << report;
    return signedXml;
  }
  // Asks one verification with a fresh log and returns the answer.
  nlohmann::json Verify(const std::string& document, const std::string& body = "") {
    session_.clearLog();
    return session_.ask(verifyRequest(document, body));
  }
  // The library's trace lines from its "Verify" line to its closing line, both included;
  // xmlsec1's error reports ("[file (line) ...") among them are left out.
  std::vector<std::string> VerifyLines() const {
    std::vector<std::string> lines;
    bool inside = false;
    for (const std::string& line : session_.logTexts()) {
      inside = inside || line == "Verify";
      if (inside && line.rfind("[", 0) != 0) lines.push_back(line);
      if (inside && line.find("Verify: ") != std::string::npos) break;
    }
    return lines;
  }

  HostSession session_;
  TempDir work_;
};

TEST_F(VerifyRequestTest, DocumentsSignedByTheHostVerifyWithEveryAlgorithm) {
  for (KeyType type : {KeyType::kGost2001, KeyType::kGost2012_256, KeyType::kGost2012_512}) {
    SCOPED_TRACE(static_cast<int>(type));
    const std::string signedXml = SignedByHost(session_.addSigner(type), SampleDocument(4));
    ASSERT_FALSE(signedXml.empty());
    EXPECT_EQ(Verify(signedXml), kSuccess);
    EXPECT_TRUE(containsInOrder(session_.logTexts(),
                                {">>> VektQuilletImpl::verify", "Verify", "CertVerifyRevocation",
                                 "Verify: 0", "<<< VektQuilletImpl::verify"}));
    EXPECT_EQ(VerifyLines().size(), 2u + 2u);  // the check's two revocation lines
  }
}

TEST_F(VerifyRequestTest, DocumentsSignedByXmlsec1Verify) {
  session_.trustPki();
  EXPECT_EQ(Verify(SignedByTool(session_.pki().issue(CertOptions()))), kSuccess);
}

TEST_F(VerifyRequestTest, TheDocumentAndItsSignatureDecide) {
  const std::string signedXml = SignedByHost(session_.addSigner(), SampleDocument(5));
  // The same document signed once more: the host's second signature covers the first,
  // which then no longer matches; only the first is judged.
  const std::string signed_twice = SignedByHost(session_.addSigner(), signedXml);
  const Credential tool_signer = session_.pki().issue(CertOptions());
  struct Case {
    const char* what;
    std::string document;
    nlohmann::json answer;
    std::string closing;
  };
  const std::vector<Case> cases = {
      {"changed after signing", Replaced(signedXml, "документ 5", "документ 6"), ErrorOf(217),
       "ERROR=217 (Verify: 217)"},
      {"no signature", SampleDocument(5), ErrorOf(215), "ERROR=215 (Verify: 215)"},
      {"malformed", "<a><b></a>", ErrorOf(209), "ERROR=209 (Verify: 209)"},
      {"a valid signature, then a broken one",
       SignedByTool(tool_signer, Template(kBrokenSignature)), kSuccess, "Verify: 0"},
      {"a broken signature before a valid one",
       Replaced(SignedByTool(tool_signer, Template(kBrokenSignature)), "<Текст>",
                std::string("<Текст>") + kBrokenSignature),
       ErrorOf(216), "ERROR=216 (Verify: 216)"},
      {"signed twice", signed_twice, ErrorOf(217), "ERROR=217 (Verify: 217)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Verify(c.document), c.answer);
    const std::vector<std::string> lines = VerifyLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), c.closing);
  }
  // libxml2's own message for the malformed text, under 209.
  Verify("<a><b></a>");
  const std::vector<std::string> lines = VerifyLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[1].rfind("ERROR=209 (Premature end of data", 0), 0u) << lines[1];
}

TEST_F(VerifyRequestTest, TheSignersCertificateIsChecked) {
  TestPki& pki = session_.pki();
  session_.trustPki();
  CertOptions expired;
  expired.notBefore = -10 * kDay;
  expired.notAfter = -kDay;
  const Credential expired_signer = pki.issue(expired);
  CertOptions not_yet_valid;
  not_yet_valid.notBefore = kDay;
  not_yet_valid.notAfter = 10 * kDay;
  const Credential not_yet_valid_signer = pki.issue(not_yet_valid);

  // Issued by CAs the user's CA store holds without any CRL of theirs (a GOST R 34.10-2012
  // 512 issuer would fail the algorithm check: its signature algorithm is not accepted).
  const Credential& unlisted_ca = pki.caWithKey(KeyType::kGost2001);
  const Credential& rsa_ca = pki.caWithKey(KeyType::kRsa);
  session_.stores().add("CA", unlisted_ca, TestStores::AddOptions().noKey());
  session_.stores().add("CA", rsa_ca, TestStores::AddOptions().noKey());

  const Credential revoked = session_.addSigner();
  const std::string revoked_signed = SignedByHost(revoked, SampleDocument(1));
  session_.stores().addCrl("CA", pki.makeCrl(pki.intermediate(), {{revoked.serial(), 1}}),
                           "intermediate");
  const Credential no_crl = pki.issue(CertOptions(), unlisted_ca);
  const Credential rsa_issued = pki.issue(CertOptions(), rsa_ca);

  struct Case {
    const char* what;
    std::string document;
    std::string body;
    nlohmann::json answer;
    std::string trace = "";
  };
  const std::vector<Case> cases = {
      // The signer's own dates are the check's to judge, with or without the optional
      // certificate.
      {"expired, in KeyInfo only", SignedByTool(expired_signer), "", ErrorOf(7)},
      {"not yet valid, in KeyInfo only", SignedByTool(not_yet_valid_signer), "", ErrorOf(8)},
      {"expired, as the optional certificate", SignedByTool(expired_signer),
       Base64(expired_signer.der()), ErrorOf(7)},
      {"revoked for key compromise", revoked_signed, "", ErrorOf(13)},
      {"revocation unknown", SignedByTool(no_crl), "", kSuccess, "ERROR=11 (Verify: 11)"},
      {"non-GOST issuer", SignedByTool(rsa_issued), "", ErrorOf(5)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Verify(c.document, c.body), c.answer);
    if (!c.trace.empty()) {
      ASSERT_FALSE(VerifyLines().empty());
      EXPECT_EQ(VerifyLines().back(), c.trace);
    }
  }
}

TEST_F(VerifyRequestTest, ForgedDocumentsAreRefused) {
  TestPki& pki = session_.pki();
  session_.trustPki();
  const Credential victim = pki.issue(CertOptions());
  const Credential attacker = pki.selfSigned(CertOptions());
  // The attacker's RSA key in KeyValue, the victim's trusted certificate beside it.
  CertOptions rsa;
  rsa.keyType = KeyType::kRsa;
  const std::string gost = "urn:ietf:params:xml:ns:cpxmlsec:algorithms:";
  const std::string rsa_template =
      Replaced(Replaced(Replaced(Template(), "<X509Data/>", "<KeyValue/>"),
                        gost + "gostr34102012-gostr34112012-256",
                        "http://www.w3.org/2001/04/xmldsig-more#rsa-sha256"),
               gost + "gostr34112012-256", "http://www.w3.org/2001/04/xmlenc#sha256");
  const std::string key_value =
      Replaced(SignedByTool(pki.selfSigned(rsa), rsa_template), "</KeyInfo>",
               "<X509Data><X509Certificate>" + Base64(victim.der()) +
                   "</X509Certificate></X509Data>"
                   "</KeyInfo>");
  EXPECT_EQ(Verify(key_value), ErrorOf(216));
  // A self-made certificate with the victim's name.
  EXPECT_EQ(Verify(SignedByTool(attacker)), ErrorOf(216));
  // Transforms beyond what real documents use.
  const std::string deep = Replaced(
      Template(), "</Transforms>",
      "<Transform Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/>"
      "<Transform Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/>"
      "<Transform Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/></Transforms>");
  EXPECT_EQ(Verify(SignedByTool(victim, deep)), ErrorOf(216));

  // A genuine document with a NUL and more text after it: refused, in verify and in sign.
  const std::string genuine = SignedByTool(victim);
  EXPECT_EQ(Verify(genuine), kSuccess);
  // The same document with namespace declarations in its unsigned KeyInfo that would make
  // canonicalization run for minutes: refused at once.
  std::string declarations;
  std::string elements;
  for (int i = 0; i < 2000; ++i) {
    declarations += " xmlns:p" + std::to_string(i) + "=\"urn:" + std::to_string(i) + "\"";
    elements += "<a/>";
  }
  EXPECT_EQ(Verify(Replaced(genuine, "</KeyInfo>",
                            "<X" + declarations + ">" + elements + "</X></KeyInfo>")),
            ErrorOf(216));
  std::string with_nul = genuine;
  with_nul += '\0';
  with_nul += "<Заявление>другое</Заявление>";
  EXPECT_EQ(Verify(with_nul), ErrorOf(209));
  const Credential signer = session_.addSigner();
  EXPECT_EQ(session_.ask(signRequest({with_nul}, signer.sha1Hex())), ErrorOf(209));
}

TEST_F(VerifyRequestTest, AChainOutsideTheUsersStoresNeedsTheOptionalCertificate) {
  struct Case {
    const char* what;
    bool trust_root;
    bool list_issuer;
  };
  const std::vector<Case> cases = {
      {"issuer in no store", true, false},
      {"root not among the user's roots", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HostSession session;
    if (c.trust_root) {
      session.stores().add("Root", session.pki().root(), TestStores::AddOptions().noKey());
    }
    if (c.list_issuer) {
      session.stores().add("CA", session.pki().intermediate(), TestStores::AddOptions().noKey());
    }
    const Credential signer = session.pki().issue(CertOptions());
    const std::string signedXml = SignedByTool(signer);
    EXPECT_EQ(session.ask(verifyRequest(signedXml)), ErrorOf(216));
    // Given as the request's certificate it is a known key; its revocation cannot be
    // checked, which passes.
    EXPECT_EQ(session.ask(verifyRequest(signedXml, Base64(signer.der()))), kSuccess);
  }
}

TEST_F(VerifyRequestTest, TheOptionalCertificateIsOnlyEverAWarning) {
  const Credential signer = session_.addSigner();
  const std::string signedXml = SignedByHost(signer, SampleDocument(2));
  struct Case {
    const char* what;
    std::string body;
    std::vector<std::string> warnings;
  };
  const std::vector<Case> cases = {
      {"not Base64", "это не Base64!", {"ERROR=2 (xmlSecBase64Decode failed)"}},
      {"Base64 of something else",
       Base64(Bytes{'n', 'o', 't', ' ', 'a', ' ', 'c', 'e', 'r', 't'}),
       {}},
      {"another certificate",
       Base64(session_.pki().issue(CertOptions()).der()),
       {"optional certificate has been loaded"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Verify(signedXml, c.body), kSuccess);
    std::vector<std::string> lines = VerifyLines();
    ASSERT_GE(lines.size(), 2u);
    const std::vector<std::string> between(lines.begin() + 1,
                                           lines.begin() + 1 + c.warnings.size());
    EXPECT_EQ(between, c.warnings);
    EXPECT_EQ(lines.back(), "Verify: 0");
  }

  // Absent and empty alike: nothing between the library's first line and the check.
  nlohmann::json empty = verifyRequest(signedXml);
  empty["certificateBody"] = "";
  session_.clearLog();
  EXPECT_EQ(session_.askAll({verifyRequest(signedXml), empty}),
            (std::vector<nlohmann::json>{kSuccess, kSuccess}));
  const std::vector<std::string> log = session_.logTexts();
  EXPECT_EQ(countLines(log, "Verify: 0"), 2);
  EXPECT_EQ(countLines(log, "ERROR=2 ("), 0);
  EXPECT_EQ(countLines(log, "optional certificate"), 0);

  // A document whose KeyInfo is gone verifies with its signer's certificate alone.
  const std::string bare = WithoutKeyInfo(signedXml);
  EXPECT_EQ(Verify(bare), ErrorOf(216));
  EXPECT_EQ(Verify(bare, Base64(signer.der())), kSuccess);
  EXPECT_EQ(Verify(bare, Base64(session_.pki().issue(CertOptions()).der())), ErrorOf(217));
}

TEST_F(VerifyRequestTest, WithoutTheSignatureLibraryNothingIsVerified) {
  const std::string signedXml = SignedByHost(session_.addSigner(), SampleDocument(3));
  RuntimeCopy runtime;
  runtime.remove("libQuilletProxy.so");
  session_.clearLog();
  EXPECT_EQ(session_.ask(verifyRequest(signedXml), runtime.host()), ErrorOf(105));
  const std::vector<std::string> log = session_.logTexts();
  EXPECT_TRUE(containsInOrder(log, {"Initialization: 105 (", ">>> VektQuilletImpl::verify",
                                    "<<< VektQuilletImpl::verify"}));
  EXPECT_EQ(countLines(log, "Verify"), 0);
  EXPECT_EQ(countLines(log, "CertVerifyRevocation"), 0);
}

}  // namespace
}  // namespace quillet::test
