// The bundled GOST-enabled xmlsec1 and its command-line tool with the test PKI: the
// independent verifier the signature tests rely on.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_stores.h"
#include "tests/support/xmlsec_cli.h"

namespace quillet::test {
namespace {

std::string Template(const std::string& signature_uri, const std::string& digest_uri) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<Envelope xmlns=\"urn:envelope\"><Data>Привет, мир!</Data>"
         "<Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\"><SignedInfo>"
         "<CanonicalizationMethod Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/>"
         "<SignatureMethod Algorithm=\"" +
         signature_uri +
         "\"/><Reference URI=\"\"><Transforms>"
         "<Transform Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/>"
         "</Transforms><DigestMethod Algorithm=\"" +
         digest_uri +
         "\"/><DigestValue/></Reference></SignedInfo><SignatureValue/>"
         "<KeyInfo><X509Data/></KeyInfo></Signature></Envelope>\n";
}

TEST(GostXmlsecCli, ReportsTheOpenSslBackEnd) {
  TestStores scratch;
  const CliResult result = runXmlsec1({"--version"}, scratch.home());
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("(openssl)"), std::string::npos) << result.out;
}

TEST(GostXmlsecCli, SignsAndVerifiesGostDocuments) {
  TestStores scratch;
  TestPki pki;
  const std::string ns = "urn:ietf:params:xml:ns:cpxmlsec:algorithms:";
  const struct {
    KeyType key;
    std::string signature_uri;
    std::string digest_uri;
  } cases[] = {
      {KeyType::kGost2012_256, ns + "gostr34102012-gostr34112012-256", ns + "gostr34112012-256"},
      {KeyType::kGost2012_512, ns + "gostr34102012-gostr34112012-512", ns + "gostr34112012-512"},
      {KeyType::kGost2001, "http://www.w3.org/2001/04/xmldsig-more#gostr34102001-gostr3411",
       "http://www.w3.org/2001/04/xmldsig-more#gostr3411"},
  };
  for (const auto& row : cases) {
    CertOptions options;
    options.keyType = row.key;
    const Credential signer = pki.issue(options);
    std::string report;
    const std::string signedXml = signWithXmlsec1(Template(row.signature_uri, row.digest_uri),
                                                  signer, scratch.home(), &report);
    ASSERT_FALSE(signedXml.empty()) << row.signature_uri << "\n" << report;
    EXPECT_TRUE(
        verifyWithXmlsec1(signedXml, pki.root(), {pki.intermediate()}, scratch.home(), &report))
        << row.signature_uri << "\n"
        << report;

    std::string tampered = signedXml;
    const std::size_t data = tampered.find("Привет");
    ASSERT_NE(data, std::string::npos);
    tampered.replace(data, 6, "Пока");
    EXPECT_FALSE(
        verifyWithXmlsec1(tampered, pki.root(), {pki.intermediate()}, scratch.home(), &report))
        << row.signature_uri;
  }
}

TEST(GostXmlsecCli, RefusesASignerOutsideTheTrustedChain) {
  TestStores scratch;
  TestPki pki;
  TestPki other;
  const std::string ns = "urn:ietf:params:xml:ns:cpxmlsec:algorithms:";
  std::string report;
  const std::string signedXml =
      signWithXmlsec1(Template(ns + "gostr34102012-gostr34112012-256", ns + "gostr34112012-256"),
                      pki.issue(CertOptions()), scratch.home(), &report);
  ASSERT_FALSE(signedXml.empty()) << report;
  EXPECT_FALSE(
      verifyWithXmlsec1(signedXml, other.root(), {other.intermediate()}, scratch.home(), &report));
}

}  // namespace
}  // namespace quillet::test
