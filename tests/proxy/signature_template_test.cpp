// CreateSignatureTemplate: the element tree, and the algorithm pair chosen by the exact
// public key algorithm identifier.
#include <gtest/gtest.h>

#include <string>

#include "tests/proxy/signing_fixture.h"

namespace quillet::test {
namespace {

constexpr char kPair2012_256[] =
    "urn:ietf:params:xml:ns:cpxmlsec:algorithms:gostr34102012-gostr34112012-256|"
    "urn:ietf:params:xml:ns:cpxmlsec:algorithms:gostr34112012-256";
constexpr char kPair2012_512[] =
    "urn:ietf:params:xml:ns:cpxmlsec:algorithms:gostr34102012-gostr34112012-512|"
    "urn:ietf:params:xml:ns:cpxmlsec:algorithms:gostr34112012-512";
constexpr char kPair2001[] =
    "http://www.w3.org/2001/04/xmldsig-more#gostr34102001-gostr3411|"
    "http://www.w3.org/2001/04/xmldsig-more#gostr3411";

// The whole template for a signature and digest method pair ("signature|digest"), as
// xmlsec1 lays it out (a line break between elements).
std::string ExpectedTemplate(const std::string& pair) {
  const std::string signature = pair.substr(0, pair.find('|'));
  const std::string digest = pair.substr(pair.find('|') + 1);
  return "<Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\">\n<SignedInfo>\n"
         "<CanonicalizationMethod Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/>\n"
         "<SignatureMethod Algorithm=\"" +
         signature +
         "\"/>\n<Reference URI=\"\">\n<Transforms>\n"
         "<Transform Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/>\n"
         "</Transforms>\n<DigestMethod Algorithm=\"" +
         digest +
         "\"/>\n<DigestValue/>\n</Reference>\n</SignedInfo>\n"
         "<SignatureValue/>\n<KeyInfo>\n<X509Data/>\n</KeyInfo>\n</Signature>";
}

class SignatureTemplateTest : public SigningTest {
 protected:
  // The serialised template for a context, or "" when the library made none.
  std::string TemplateText(PCCERT_CONTEXT certificate) {
    _xmlNode* made = TemplateFor(certificate);
    return made != nullptr ? Dump(made) : std::string();
  }
};

TEST_F(SignatureTemplateTest, ChosenByTheExactKeyAlgorithm) {
  const struct {
    const char* oid;
    const char* pair;
  } cases[] = {
      {"1.2.643.7.1.1.1.1", kPair2012_256},
      {"1.2.643.7.1.1.1.2", kPair2012_512},
      {"1.2.643.2.2.19", kPair2001},        // GOST R 34.10-2001
      {"1.2.643.2.2.20", kPair2001},        // GOST R 34.10-94
      {"1.2.840.113549.1.1.1", kPair2001},  // RSA: not refused here, the host admits GOST only
      // Identifiers that merely look like the 2012 ones fall to the last row.
      {"1.2.643.7.1.1.1.10", kPair2001},
      {"1.2.643.7.1.1.1.1 ", kPair2001},
      {"1.2.643.7.1.1.1", kPair2001},
      {"1.2.643.7.1.1.1.3", kPair2001},
      {"", kPair2001},
  };
  for (const auto& c : cases) {
    std::string oid = c.oid;
    CERT_INFO info = {};
    info.SubjectPublicKeyInfo.Algorithm.pszObjId = oid.data();
    CERT_CONTEXT context = {};
    context.pCertInfo = &info;
    EXPECT_EQ(TemplateText(&context), ExpectedTemplate(c.pair)) << "'" << c.oid << "'";
  }
  EXPECT_TRUE(Recorded::lines().empty()) << "the template export traces nothing";
}

TEST_F(SignatureTemplateTest, RealCertificatesOfEveryKeyType) {
  const struct {
    KeyType type;
    const char* pair;
  } cases[] = {
      {KeyType::kGost2001, kPair2001},
      {KeyType::kGost2012_256, kPair2012_256},
      {KeyType::kGost2012_512, kPair2012_512},
  };
  for (const auto& c : cases) {
    Certificate certificate = StoredSigner(c.type);
    EXPECT_EQ(TemplateText(certificate.get()), ExpectedTemplate(c.pair)) << c.pair;
  }
}

}  // namespace
}  // namespace quillet::test
