// Verify: documents signed by the library and by the bundled xmlsec1 tool, the judgement of
// a checked signature, the optional certificate and what the user's stores make trusted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/proxy/verify_fixture.h"

namespace quillet::test {
namespace {

constexpr char kDocument[] = "<Заявление номер=\"5\"><Текст>Прошу принять</Текст></Заявление>";

TEST_F(VerifyTest, DocumentsSignedByTheLibraryVerifyWithEveryAlgorithm) {
  for (KeyType type : {KeyType::kGost2001, KeyType::kGost2012_256, KeyType::kGost2012_512}) {
    SCOPED_TRACE(static_cast<int>(type));
    CheckRecord::Get() = CheckRecord();
    const std::string signedXml = SignedBy(type, kDocument);
    EXPECT_EQ(VerifyWith(signedXml), 0) << DescribeErrors();
    EXPECT_EQ(Recorded::lines(), Bare(0));
    // The check got the signer's own certificate, once.
    ASSERT_EQ(CheckRecord::Get().certificates.size(), 1u);
    EXPECT_EQ(CheckRecord::Get().certificates[0],
              Bytes(signer_->pbCertEncoded, signer_->pbCertEncoded + signer_->cbCertEncoded));
  }
}

TEST_F(VerifyTest, DocumentsSignedByXmlsec1Verify) {
  const Credential signer = pki_.issue(CertOptions());
  EXPECT_EQ(VerifyWith(SignedByTool(GostTemplate(), signer)), 0) << DescribeErrors();
  ASSERT_EQ(CheckRecord::Get().certificates.size(), 1u);
  EXPECT_EQ(CheckRecord::Get().certificates[0], signer.der());
}

TEST_F(VerifyTest, TheCheckersVerdictBecomesTheResult) {
  const std::string signedXml = SignedBy(KeyType::kGost2012_256, kDocument);
  CheckRecord::Get().verdict = 7;
  EXPECT_EQ(VerifyWith(signedXml), 7);
  EXPECT_EQ(Recorded::lines(), Bare(7));
  // Revocation unknown is the host's to forgive, not the library's.
  CheckRecord::Get().verdict = 11;
  EXPECT_EQ(VerifyWith(signedXml), 11);
}

TEST_F(VerifyTest, FailuresOfTheDocumentAndItsSignature) {
  const std::string signedXml = SignedBy(KeyType::kGost2012_256, kDocument);
  struct Case {
    const char* what;
    std::string document;
    int code;
  };
  const std::vector<Case> cases = {
      {"changed after signing", Replaced(signedXml, "Прошу принять", "Прошу отклонить"), 217},
      {"signature value changed", Replaced(signedXml, "<SignatureValue>", "<SignatureValue>AAAA"),
       217},
      {"no signature", kDocument, 215},
      {"signature of another namespace",
       "<a><Signature xmlns=\"urn:other\"><SignedInfo/></Signature></a>", 215},
      {"signature without its parts",
       "<a><Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\"/></a>", 216},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(VerifyWith(c.document), c.code);
    if (c.code == 215) {
      EXPECT_EQ(Recorded::lines(), Bare(215));
    }
  }
  // The check is asked about a valid signature only.
  EXPECT_TRUE(CheckRecord::Get().certificates.empty());
}

TEST_F(VerifyTest, MalformedTextTracesLibxml2sMessage) {
  for (const std::string& text :
       {std::string("<a><b></a>"), std::string(""), std::string("just text"),
        std::string("<?xml version=\"1.0\"?>")}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(VerifyWith(text), 209);
    const std::vector<TraceLine>& lines = Recorded::lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front(), (TraceLine{L"Verify", 0, 0}));
    EXPECT_EQ(lines.back(), (TraceLine{L"Verify: 209", 209, 0}));
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) EXPECT_EQ(lines[i].code, 209);
  }
  // A parser message, when libxml2 has one.
  VerifyWith("<a><b></a>");
  EXPECT_EQ(Recorded::lines().size(), 3u);
}

TEST_F(VerifyTest, AValidSignatureWithoutCheckOrCertificateIsNotAccepted) {
  EXPECT_EQ(VerifyWith(SignedBy(KeyType::kGost2012_256, kDocument), "", nullptr), 218);
  EXPECT_EQ(Recorded::lines(), Bare(218));

  // An RSA key given as a bare KeyValue: the signature checks, but no certificate comes with
  // the key.
  CertOptions rsa;
  rsa.keyType = KeyType::kRsa;
  const std::string key_value_signed = SignedByTool(
      Replaced(Replaced(GostTemplate("",
                                     "<Transform Algorithm=\"http://www.w3.org/2000/09/"
                                     "xmldsig#enveloped-signature\"/>",
                                     "<KeyValue/>"),
                        std::string(kGostNs) + "gostr34102012-gostr34112012-256",
                        "http://www.w3.org/2001/04/xmldsig-more#rsa-sha256"),
               std::string(kGostNs) + "gostr34112012-256",
               "http://www.w3.org/2001/04/xmlenc#sha256"),
      pki_.issue(rsa));
  ASSERT_NE(key_value_signed.find("RSAKeyValue"), std::string::npos) << key_value_signed;
  // Its RSA signature method is refused before the key is looked for.
  EXPECT_EQ(VerifyWith(key_value_signed), 216) << DescribeErrors();
  EXPECT_TRUE(CheckRecord::Get().certificates.empty());
}

TEST_F(VerifyTest, OnlyTheFirstSignatureInDocumentOrderCounts) {
  const Credential signer = pki_.issue(CertOptions());
  const std::string broken =
      "<Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\"><SignedInfo/></Signature>";
  // xmlsec1 signs the first template; the broken one after it is part of the signed data.
  const std::string first_valid = SignedByTool(
      Replaced(GostTemplate(), "</Signature></Envelope>", "</Signature>" + broken + "</Envelope>"),
      signer);
  EXPECT_EQ(VerifyWith(first_valid), 0) << DescribeErrors();
  // The same two the other way round: the broken one comes first and is the one verified,
  // nested deeper though it is.
  const std::string first_broken =
      Replaced(first_valid, "<Data>", "<Data><Inner>" + broken + "</Inner>");
  EXPECT_EQ(VerifyWith(first_broken), 216);
}

TEST_F(VerifyTest, TheRootElementIsExaminedFirst) {
  // A root that is itself a signature, holding a valid signed document inside its Object.
  std::string inner = SignedBy(KeyType::kGost2012_256, kDocument);
  // Without its XML declaration, so that it can stand inside another element.
  if (inner.rfind("<?xml", 0) == 0) inner = inner.substr(inner.find("?>") + 2);
  const std::string outer = "<Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\"><Object>" +
                            inner + "</Object></Signature>";
  EXPECT_EQ(VerifyWith(outer), 216);
}

TEST_F(VerifyTest, OptionalCertificateProblemsAreWarningsOnly) {
  const std::string signedXml = SignedBy(KeyType::kGost2012_256, kDocument);
  struct Case {
    const char* what;
    std::string body;
    std::vector<TraceLine> warnings;
  };
  const std::vector<Case> cases = {
      {"empty", "", {}},
      {"not Base64", "это не Base64!", {{L"xmlSecBase64Decode failed", 2, 0}}},
      {"Base64 of nothing", "====", {{L"xmlSecBase64Decode failed", 2, 0}}},
      {"Base64 of something else",
       Base64(Bytes{'n', 'o', 't', ' ', 'a', ' ', 'c', 'e', 'r', 't'}),
       {}},
      {"another valid certificate",
       Base64(pki_.issue(CertOptions()).der()),
       {{L"optional certificate has been loaded", 0, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CheckRecord::Get() = CheckRecord();
    EXPECT_EQ(VerifyWith(signedXml, c.body), 0) << DescribeErrors();
    std::vector<TraceLine> expected = {{L"Verify", 0, 0}};
    expected.insert(expected.end(), c.warnings.begin(), c.warnings.end());
    expected.push_back({L"Verify: 0", 0, 0});
    EXPECT_EQ(Recorded::lines(), expected);
    // The document's own signer is the one checked.
    ASSERT_EQ(CheckRecord::Get().certificates.size(), 1u);
    EXPECT_EQ(CheckRecord::Get().certificates[0],
              Bytes(signer_->pbCertEncoded, signer_->pbCertEncoded + signer_->cbCertEncoded));
  }
}

TEST_F(VerifyTest, OptionalCertificateVerifiesADocumentWithoutKeyInfo) {
  const Credential signer = pki_.issue(CertOptions());
  const std::string bare = WithoutKeyInfo(SignedByTool(GostTemplate(), signer));
  EXPECT_EQ(VerifyWith(bare), 216);
  EXPECT_EQ(VerifyWith(bare, Base64(signer.der())), 0) << DescribeErrors();
  ASSERT_EQ(CheckRecord::Get().certificates.size(), 1u);
  EXPECT_EQ(CheckRecord::Get().certificates[0], signer.der());
  // Someone else's certificate does not make it verify.
  EXPECT_EQ(VerifyWith(bare, Base64(pki_.issue(CertOptions()).der())), 217);
}

// Which chains the user's stores make trusted, as Windows' chain engine would.
TEST(VerifyTrustTest, TheUsersRootAndCaStoresDecide) {
  struct Case {
    const char* what;
    bool root_in_root;
    bool intermediate_in_ca;
    bool root_in_ca;
    int code;
  };
  const std::vector<Case> cases = {
      {"root and intermediate", true, true, false, 0},
      {"no intermediate", true, false, false, 216},
      {"intermediate without root", false, true, false, 216},
      {"root only among the intermediates", false, true, true, 216},
      {"empty stores", false, false, false, 216},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestStores stores;
    TestPki pki;
    ScratchDir scratch;
    if (c.root_in_root) stores.add("Root", pki.root(), TestStores::AddOptions().noKey());
    if (c.intermediate_in_ca)
      stores.add("CA", pki.intermediate(), TestStores::AddOptions().noKey());
    if (c.root_in_ca) stores.add("CA", pki.root(), TestStores::AddOptions().noKey());
    const Credential signer = pki.issue(CertOptions());
    std::string report;
    const std::string signedXml = signWithXmlsec1(GostTemplate(), signer, scratch.path(), &report);
    ASSERT_FALSE(signedXml.empty()) << report;

    const ProxyLibrary& proxy = ProxyLibrary::Get();
    int step = -1;
    ASSERT_EQ(proxy.init(RecordTrace, RecordXmlSecError, &step), 0);
    const std::string none;
    EXPECT_EQ(proxy.verify(RecordTrace, RecordCheck, &signedXml, &none), c.code);
    // The signer's certificate as the optional one is taken as it is given.
    const std::string body = Base64(signer.der());
    EXPECT_EQ(proxy.verify(RecordTrace, RecordCheck, &signedXml, &body), 0);
    proxy.shutdown();
  }
}

}  // namespace
}  // namespace quillet::test
