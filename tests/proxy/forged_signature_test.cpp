// Documents a hostile page makes to pass as signed by someone the user trusts: keys the
// document carries itself, foreign algorithms, wrapped and duplicated IDs, work without
// bound, a NUL in the text, and signers out of their validity period. Every signature here
// is genuine (the bundled xmlsec1 tool makes it with real keys of the test PKI or the
// attacker's own), so each refusal is the library's, never a broken digest.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "tests/proxy/verify_fixture.h"

namespace quillet::test {
namespace {

constexpr char kDsig[] = "http://www.w3.org/2000/09/xmldsig#";
constexpr char kEnveloped[] =
    "<Transform Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/>";
constexpr char kC14n[] =
    "<Transform Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/>";
constexpr char kExcC14n[] = "<Transform Algorithm=\"http://www.w3.org/2001/10/xml-exc-c14n#\"/>";
constexpr char kRsaSha256[] = "http://www.w3.org/2001/04/xmldsig-more#rsa-sha256";
constexpr char kSha256[] = "http://www.w3.org/2001/04/xmlenc#sha256";
// An internal DTD that makes Id of Data an ID, for "#id" references.
constexpr char kIdDoctype[] = "<!DOCTYPE Envelope [<!ATTLIST Data Id ID #IMPLIED>]>";
// xmlsec1's reasons (xmlsec/errors.h) for what the library refuses.
constexpr char kTooMany[] = " 11 ";
constexpr char kInvalidData[] = " 12 ";
constexpr char kUriRefused[] = " 33 ";
constexpr char kAlgorithmRefused[] = " 35 ";

std::string Gost(const std::string& name) { return std::string(kGostNs) + name; }

// One Reference element.
std::string Reference(const std::string& uri, const std::string& transforms,
                      const std::string& digest = Gost("gostr34112012-256")) {
  return "<Reference URI=\"" + uri + "\"><Transforms>" + transforms +
         "</Transforms><DigestMethod Algorithm=\"" + digest + "\"/><DigestValue/></Reference>";
}

// A Signature template with the method, the references and the KeyInfo content.
std::string SignatureElement(const std::string& method, const std::string& references,
                             const std::string& key_info = "<X509Data/>") {
  return std::string("<Signature xmlns=\"") + kDsig +
         "\"><SignedInfo><CanonicalizationMethod "
         "Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/><SignatureMethod "
         "Algorithm=\"" +
         method + "\"/>" + references + "</SignedInfo><SignatureValue/><KeyInfo>" + key_info +
         "</KeyInfo></Signature>";
}

std::string Envelope(const std::string& content, const std::string& doctype = "") {
  return doctype + "<Envelope xmlns=\"urn:envelope\">" + content + "</Envelope>";
}

const std::string kGostMethod = Gost("gostr34102012-gostr34112012-256");

// The X509Data element holding the certificates.
std::string X509Data(const std::vector<const Credential*>& certificates) {
  std::string text = "<X509Data>";
  for (const Credential* certificate : certificates) {
    text += "<X509Certificate>" + Base64(certificate->der()) + "</X509Certificate>";
  }
  return text + "</X509Data>";
}

// The document with `extra` inserted right before the end of its KeyInfo (KeyInfo is not
// signed, so the signature stays valid).
std::string WithInKeyInfo(const std::string& document, const std::string& extra) {
  return Replaced(document, "</KeyInfo>", extra + "</KeyInfo>");
}

class ForgedSignatureTest : public VerifyTest {
 protected:
  void SetUp() override {
    VerifyTest::SetUp();
    victim_ = pki_.issue(CertOptions());
    attacker_rsa_ = pki_.selfSigned(CertOptions{{{"CN", "Attacker"}}, "", KeyType::kRsa});
    attacker_gost_ = pki_.selfSigned(CertOptions());  // the victim's owner name, chained to nothing
  }

  // Verifies and expects 216 because no key comes from a trusted certificate.
  void ExpectNoKey(const std::string& document, const std::string& body = "") {
    ExpectRefused(document, " 45 ", "no certificate of the trust signs", body);
  }

  Credential victim_;
  Credential attacker_rsa_;
  Credential attacker_gost_;
};

TEST_F(ForgedSignatureTest, AKeyValueNeverSignsEvenBesideATrustedCertificate) {
  // The attacker's RSA key in KeyValue; X509Data holds the victim's trusted certificate and
  // one the attacker made that names the victim as its issuer.
  const Credential fake_issuer{victim_.cert, attacker_rsa_.key};
  const Credential child =
      pki_.issue(CertOptions{{{"CN", "Child"}}, "", KeyType::kRsa}, fake_issuer);
  const std::string rsa_signed = SignedByTool(
      Envelope("<Data>Payment 1000000</Data>" +
               SignatureElement(kRsaSha256, Reference("", kEnveloped, kSha256), "<KeyValue/>")),
      attacker_rsa_);
  ExpectRefused(WithInKeyInfo(rsa_signed, X509Data({&victim_, &child})), kAlgorithmRefused,
                kRsaSha256);

  // The same with the attacker's self-made GOST certificate (the victim's owner name,
  // chained to nothing) in X509Data.
  ExpectRefused(WithInKeyInfo(rsa_signed, X509Data({&attacker_gost_})), kAlgorithmRefused,
                kRsaSha256);
  // xmlsec1 has no KeyValue form of a GOST key, either to write or to read: a GOST
  // signature's key can only come from a certificate.
}

TEST_F(ForgedSignatureTest, ASelfMadeCertificateWithTheVictimsNameIsNotTrusted) {
  const std::string signedXml = SignedByTool(GostTemplate(), attacker_gost_);
  ASSERT_NE(signedXml.find(Base64(attacker_gost_.der()).substr(0, 40)), std::string::npos);
  ExpectNoKey(signedXml);
  // The victim's certificate beside it is the key then, and it did not sign.
  EXPECT_EQ(VerifyWith(WithInKeyInfo(signedXml, X509Data({&victim_}))), 217);
  EXPECT_TRUE(CheckRecord::Get().certificates.empty());
}

TEST_F(ForgedSignatureTest, TheCheckJudgesTheCertificateThatSigned) {
  // The intermediate's certificate first, the signer's after it: the check gets the
  // signer's, whatever the order.
  const std::string signedXml = SignedByTool(GostTemplate(), victim_);
  const std::string reordered =
      Replaced(signedXml, "<X509Data>", X509Data({&pki_.intermediate()}) + "<X509Data>");
  EXPECT_EQ(VerifyWith(reordered), 0) << DescribeErrors();
  ASSERT_EQ(CheckRecord::Get().certificates.size(), 1u);
  EXPECT_EQ(CheckRecord::Get().certificates[0], victim_.der());
}

TEST_F(ForgedSignatureTest, ForeignAlgorithmsAreRefusedBeforeAnyDigest) {
  // An RSA key certified by the trusted GOST CA: the certificate would pass the check, but
  // this product verifies GOST signatures only.
  const Credential rsa_signer = pki_.issue(CertOptions{{{"CN", "RSA"}}, "", KeyType::kRsa});
  const std::string rsa_signed = SignedByTool(
      Envelope("<Data>x</Data>" + SignatureElement(kRsaSha256, Reference("", kEnveloped, kSha256))),
      rsa_signer);
  ExpectRefused(rsa_signed, kAlgorithmRefused, kRsaSha256);
  // A GOST signature over a SHA-256 digest.
  const std::string sha_digest =
      SignedByTool(Envelope("<Data>x</Data>" +
                            SignatureElement(kGostMethod, Reference("", kEnveloped, kSha256))),
                   victim_);
  ExpectRefused(sha_digest, kAlgorithmRefused, kSha256);
}

TEST_F(ForgedSignatureTest, AnHmacKeyCarriedInTheDocumentIsRefused) {
  // A shared-secret signature whose secret the document itself carries (xmlsec1 reads an
  // HMACKeyValue in KeyValue), with the victim's certificate beside it.
  const std::string hmac = "http://www.w3.org/2000/09/xmldsig#hmac-sha1";
  const std::string secret = "attacker's own secret";
  const std::string key_file = scratch_.Write("hmac.bin", secret);
  const std::string template_file = scratch_.Write(
      "hmac.xml",
      Envelope("<Data>x</Data>" +
               SignatureElement(hmac, Reference("", kEnveloped, kSha256), "<KeyName>k</KeyName>")));
  const CliResult signed_result = runXmlsec1({"sign", "--hmackey:k", key_file, "--output",
                                              scratch_.path() + "/hmac-signed.xml", template_file},
                                             scratch_.path());
  ASSERT_EQ(signed_result.status, 0) << signed_result.err;
  const std::string signedXml = readFile(scratch_.path() + "/hmac-signed.xml");
  const std::string key_value =
      "<KeyValue><HMACKeyValue xmlns=\"http://www.aleksey.com/xmlsec/2002\">" +
      Base64(Bytes(secret.begin(), secret.end())) + "</HMACKeyValue></KeyValue>";
  ExpectRefused(WithInKeyInfo(signedXml, key_value + X509Data({&victim_})), kAlgorithmRefused,
                hmac);
  // The same shape over a GOST digest.
  ExpectRefused(Replaced(WithInKeyInfo(signedXml, key_value), kSha256, Gost("gostr34112012-256")),
                kAlgorithmRefused, hmac);
}

TEST_F(ForgedSignatureTest, XPathTransformsAndXPointerReferencesAreRefused) {
  // Over a large document this transform ran for minutes; refused, it costs nothing.
  const std::string xpath =
      "<Transform Algorithm=\"http://www.w3.org/TR/1999/REC-xpath-19991116\">"
      "<XPath>count(//. | //@*) &gt; 0</XPath></Transform>";
  ExpectRefused(SignedByTool(GostTemplate("", xpath), victim_), kAlgorithmRefused,
                "REC-xpath-19991116");
  const std::string filter2 =
      "<Transform Algorithm=\"http://www.w3.org/2002/06/xmldsig-filter2\"><XPath "
      "xmlns=\"http://www.w3.org/2002/06/xmldsig-filter2\" "
      "Filter=\"union\">/</XPath></Transform>";
  ExpectRefused(SignedByTool(GostTemplate("", filter2), victim_), kAlgorithmRefused,
                "xmldsig-filter2");
  ExpectRefused(SignedByTool(GostTemplate("#xpointer(/)", kC14n), victim_), kUriRefused,
                "uri=#xpointer(/)");
}

TEST_F(ForgedSignatureTest, ReferencesAndTransformChainsAreBounded) {
  std::string many;
  for (int i = 0; i < 9; ++i) many += Reference("", kEnveloped);
  ExpectRefused(
      SignedByTool(Envelope("<Data>x</Data>" + SignatureElement(kGostMethod, many)), victim_),
      kTooMany, "too many references");
  const std::string deep = std::string(kEnveloped) + kC14n + kExcC14n + kC14n;
  ExpectRefused(SignedByTool(GostTemplate("", deep), victim_), kTooMany, "too many transforms");

  // The most that is accepted still verifies.
  std::string eight;
  for (int i = 0; i < 8; ++i) eight += Reference("", std::string(kEnveloped) + kC14n + kExcC14n);
  EXPECT_EQ(VerifyWith(SignedByTool(
                Envelope("<Data>x</Data>" + SignatureElement(kGostMethod, eight)), victim_)),
            0)
      << DescribeErrors();
}

TEST_F(ForgedSignatureTest, ManifestsAreNotProcessed) {
  // xmlsec1 would compute every Manifest reference of an Object first, before SignedInfo
  // and without any key: unbounded work for any page. The Object lies outside what the
  // enveloped signature signs, so the document still verifies, its manifest unread (its
  // last reference, with a refused transform, would fail the verification if read).
  const std::string genuine = SignedByTool(GostTemplate(), victim_);
  std::string manifest = "<Object><Manifest>";
  for (int i = 0; i < 500; ++i) manifest += Reference("", kC14n + std::string(kExcC14n) + kC14n);
  manifest += Reference("",
                        "<Transform Algorithm=\"http://www.w3.org/TR/1999/REC-xpath-19991116\">"
                        "<XPath>1</XPath></Transform>") +
              "</Manifest></Object>";
  EXPECT_EQ(VerifyWith(Replaced(genuine, "</KeyInfo>", "</KeyInfo>" + manifest)), 0)
      << DescribeErrors();
  ASSERT_EQ(CheckRecord::Get().certificates.size(), 1u);
  EXPECT_EQ(CheckRecord::Get().certificates[0], victim_.der());
}

TEST_F(ForgedSignatureTest, ASignedElementMovedIntoTheSignatureIsRefused) {
  const std::string signedXml =
      SignedByTool(Envelope("<Data Id=\"doc\">Payment 10</Data>" +
                                SignatureElement(kGostMethod, Reference("#doc", kC14n)),
                            kIdDoctype),
                   victim_);
  EXPECT_EQ(VerifyWith(signedXml), 0) << DescribeErrors();
  // The page shows a forged Data; the signed one sits in the signature's Object.
  const std::string wrapped = Replaced(
      Replaced(signedXml, "<Data Id=\"doc\">Payment 10</Data>", "<Data>Payment 9999</Data>"),
      "</KeyInfo>", "</KeyInfo><Object><Data Id=\"doc\">Payment 10</Data></Object>");
  ExpectRefused(wrapped, kInvalidData, "uri=#doc names an element of a Signature");
  // Without the DTD the moved Id is an ID only once xmlsec1 makes every Id of the signature
  // one: it is found all the same.
  const std::string::size_type doctype = wrapped.find("<!DOCTYPE");
  ASSERT_NE(doctype, std::string::npos);
  std::string no_dtd = wrapped;
  no_dtd.erase(doctype, wrapped.find("]>", doctype) + 2 - doctype);
  no_dtd = Replaced(no_dtd, "<Object><Data Id", "<Object><Data xmlns=\"urn:envelope\" Id");
  ExpectRefused(no_dtd, kInvalidData, "uri=#doc names an element of a Signature");

  // A reference to the Signature element itself, enveloped: it signs nothing of the
  // document, whatever the document says.
  const std::string self = SignedByTool(
      Replaced(GostTemplate("#sig", kEnveloped, "<X509Data/>", "<Data>Payment 10</Data>"),
               "<Signature ", "<Signature Id=\"sig\" "),
      victim_);
  ExpectRefused(Replaced(self, "Payment 10", "Payment 9999"), kInvalidData,
                "uri=#sig names an element of a Signature");
}

TEST_F(ForgedSignatureTest, ASecondSignaturePlacedFirstIsTheOneJudged) {
  const std::string genuine =
      SignedByTool(GostTemplate("", kEnveloped, "<X509Data/>", "<Data>Payment 10</Data>"), victim_);
  // The attacker changes the data and signs the whole document, the victim's signature
  // included, with a signature of their own placed first, and adds the victim's
  // certificate to its KeyInfo.
  const std::string changed = Replaced(genuine, "Payment 10", "Payment 9999");
  const std::string own = SignatureElement(kGostMethod, Reference("", kEnveloped));
  const std::string forged =
      SignedByTool(Replaced(changed, "<Data>", own + "<Data>"), attacker_gost_);
  ASSERT_LT(forged.find(Base64(attacker_gost_.der()).substr(0, 40)),
            forged.find(Base64(victim_.der()).substr(0, 40)));
  // Its own self-made certificate gives no key; with the victim's, that key did not sign.
  ExpectNoKey(forged);
  EXPECT_EQ(VerifyWith(WithInKeyInfo(forged, X509Data({&victim_}))), 217);
  EXPECT_TRUE(CheckRecord::Get().certificates.empty());
}

TEST_F(ForgedSignatureTest, DuplicateIdsAreRefused) {
  const std::string signedXml =
      SignedByTool(Envelope("<Data Id=\"x\">Payment 10</Data>" +
                                SignatureElement(kGostMethod, Reference("#x", kC14n)),
                            kIdDoctype),
                   victim_);
  // The signed element hidden, a second with the same ID after the signature.
  const std::string twice =
      Replaced(Replaced(signedXml, "<Data Id=\"x\">Payment 10</Data>",
                        "<Hidden><Data Id=\"x\">Payment 10</Data></Hidden>"),
               "</Signature>", "</Signature><Data Id=\"x\">Payment 9999</Data>");
  ExpectRefused(twice, kInvalidData, "duplicate ID value=x");
  // Without a DTD, "Id" counts all the same.
  const std::string plain = SignedByTool(
      GostTemplate("", kEnveloped, "<X509Data/>", "<Data Id=\"a\">1</Data><Data Id=\"b\">2</Data>"),
      victim_);
  EXPECT_EQ(VerifyWith(plain), 0) << DescribeErrors();
  ExpectRefused(Replaced(plain, "Id=\"b\"", "Id=\"a\""), kInvalidData, "duplicate ID value=a");
}

TEST_F(ForgedSignatureTest, NamespaceWorkIsBounded) {
  // Canonicalization looks at every declaration in scope at every element, and searches
  // each (and each PrefixList prefix) up the ancestors. The digests are computed before the
  // signature value is checked, so the victim's certificate alone, taken from any document
  // they signed, lets a forged document run them.
  const std::string genuine = SignedByTool(GostTemplate(), victim_);
  // The pattern `count` times, its "N" (if any) replaced by the number of each.
  const auto repeated = [](const std::string& pattern, int count) {
    std::string text;
    const std::string::size_type at = pattern.find('N');
    for (int i = 0; i < count; ++i) {
      text += at == std::string::npos ? pattern
                                      : std::string(pattern).replace(at, 1, std::to_string(i));
    }
    return text;
  };
  const auto forged = [&](const std::string& declarations, const std::string& content) {
    return Replaced(Replaced(genuine, "<Envelope xmlns=\"urn:envelope\"",
                             "<Envelope xmlns=\"urn:envelope\"" + declarations),
                    "<Data>", "<Data>" + content);
  };
  // Many declarations on the root element over many elements.
  ExpectRefused(forged(repeated(" xmlns:pN=\"urn:N\"", 2000), repeated("<a/>", 2000)), kTooMany,
                "too much namespace work");
  // A few declarations, but deep.
  ExpectRefused(forged(repeated(" xmlns:pN=\"urn:N\"", 16),
                       repeated("<b>", 250) + repeated("<a/>", 40000) + repeated("</b>", 250)),
                kTooMany, "too much namespace work");

  // A long PrefixList of exclusive canonicalization.
  const std::string exclusive =
      "<Transform Algorithm=\"http://www.w3.org/2001/10/xml-exc-c14n#\"><InclusiveNamespaces "
      "xmlns=\"http://www.w3.org/2001/10/xml-exc-c14n#\" PrefixList=\"p0\"/></Transform>";
  const std::string prefixed =
      SignedByTool(GostTemplate("", kEnveloped + exclusive, "<X509Data/>",
                                "<Data xmlns:p0=\"urn:0\"><p0:Item>1</p0:Item></Data>"),
                   victim_);
  EXPECT_EQ(VerifyWith(prefixed), 0) << DescribeErrors();
  ExpectRefused(Replaced(Replaced(prefixed, "PrefixList=\"p0\"",
                                  "PrefixList=\"" + repeated("pN ", 20000) + "\""),
                         "<p0:Item>", repeated("<a/>", 2000) + "<p0:Item>"),
                kTooMany, "too much namespace work");
}

TEST_F(ForgedSignatureTest, ANulCharacterEndsNothingEarly) {
  const std::string genuine = SignedByTool(GostTemplate(), victim_);
  std::string with_nul = genuine;
  with_nul += '\0';
  with_nul += "<Envelope><Data>Payment 9999</Data></Envelope>";
  EXPECT_EQ(VerifyWith(with_nul), 209);
  const std::vector<TraceLine> expected = {
      {L"Verify", 0, 0},
      {L"NUL character at offset " + std::to_wstring(genuine.size()), 209, 0},
      {L"Verify: 209", 209, 0}};
  EXPECT_EQ(Recorded::lines(), expected);
  EXPECT_TRUE(CheckRecord::Get().certificates.empty());
}

TEST_F(ForgedSignatureTest, ASignerOutOfItsValidityReachesTheCheck) {
  for (const auto& [what, notBefore, notAfter] :
       {std::tuple<const char*, long, long>{"expired", -10 * kDay, -kDay},
        std::tuple<const char*, long, long>{"not yet valid", kDay, 10 * kDay}}) {
    SCOPED_TRACE(what);
    CertOptions options;
    options.notBefore = notBefore;
    options.notAfter = notAfter;
    const Credential signer = pki_.issue(options);
    const std::string signedXml = SignedByTool(GostTemplate(), signer);
    for (const std::string& body : {std::string(), Base64(signer.der())}) {
      CheckRecord::Get() = CheckRecord();
      CheckRecord::Get().verdict = 7;
      EXPECT_EQ(VerifyWith(signedXml, body), 7) << DescribeErrors();
      ASSERT_EQ(CheckRecord::Get().certificates.size(), 1u);
      EXPECT_EQ(CheckRecord::Get().certificates[0], signer.der());
    }
  }
}

TEST_F(ForgedSignatureTest, TheCasAboveTheSignerAreStillCheckedInFull) {
  // A CA that expired yesterday issued a signer that is valid today.
  CertOptions ca;
  ca.subject = {{"CN", "Expired CA"}};
  ca.ca = true;
  ca.notBefore = -100 * kDay;
  ca.notAfter = -kDay;
  const Credential expired_ca = pki_.issue(ca, pki_.root());
  const Credential signer = pki_.issue(CertOptions(), expired_ca);
  const std::string signedXml = SignedByTool(GostTemplate(), signer);
  ExpectRefused(WithInKeyInfo(signedXml, X509Data({&expired_ca})), " 71 ",
                "certificate has expired");
  // A CA of the same name that the root never issued.
  const Credential forged_ca = pki_.selfSigned(ca);
  const Credential forged_signer = pki_.issue(CertOptions(), forged_ca);
  ExpectNoKey(WithInKeyInfo(SignedByTool(GostTemplate(), forged_signer), X509Data({&forged_ca})));
}

}  // namespace
}  // namespace quillet::test

namespace quillet::test {
namespace {

// The most work an accepted signature asks for: 8 references to the whole document, each
// with three transforms, over a 1 MB document. Run by hand
// (--gtest_also_run_disabled_tests); the CPU time goes to docs/benchmarks.md.
TEST_F(ForgedSignatureTest, DISABLED_BenchmarkTheLargestAcceptedWork) {
  std::string data;
  while (data.size() < 1000 * 1000) data += "<Item n=\"1\">value value value value</Item>";
  std::string eight;
  for (int i = 0; i < 8; ++i) eight += Reference("", std::string(kEnveloped) + kC14n + kExcC14n);
  const std::string signedXml = SignedByTool(
      Envelope("<Data>" + data + "</Data>" + SignatureElement(kGostMethod, eight)), victim_);
  const std::clock_t start = std::clock();
  EXPECT_EQ(VerifyWith(signedXml), 0) << DescribeErrors();
  const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  std::printf("verify of %zu bytes, 8 references x 3 transforms: %.2f s CPU\n", signedXml.size(),
              seconds);
}

}  // namespace
}  // namespace quillet::test
