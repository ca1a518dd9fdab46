// Signed documents from web pages that would make a verification reach outside them: a
// Reference to a URL or a file, an XSLT transform, external entities and DTDs. The
// signatures are genuine (the bundled xmlsec1 tool, which allows all of it, signs and
// verifies them), so a failure here is the library's refusal, never a broken digest; and
// nothing outside the document is fetched or read.
#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/proxy/listener.h"
#include "tests/proxy/verify_fixture.h"
#include "tests/support/http_server.h"

namespace quillet::test {
namespace {

constexpr char kC14n[] =
    "<Transform Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/>";
constexpr char kEnveloped[] =
    "<Transform Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/>";
// xmlsec1's reasons for a refused URI and a disabled transform (xmlsec/errors.h).
constexpr char kUriRefused[] = " 33 ";
constexpr char kTransformRefused[] = " 35 ";

// The text in another character set (glibc's iconv); "" when it cannot be converted.
std::string Convert(const std::string& text, const char* from, const char* to) {
  iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return "";
  std::string out(text.size() * 4 + 4, '\0');
  char* in_at = const_cast<char*>(text.data());
  std::size_t in_left = text.size();
  char* out_at = out.data();
  std::size_t out_left = out.size();
  const bool ok = iconv(converter, &in_at, &in_left, &out_at, &out_left) != static_cast<size_t>(-1);
  iconv_close(converter);
  if (!ok) return "";
  out.resize(out.size() - out_left);
  return out;
}

// The document with a document type declaration after its XML declaration, if any.
std::string WithDoctype(const std::string& document, const std::string& doctype) {
  const std::string::size_type body = document.rfind("<?xml", 0) == 0 ? document.find("?>") + 2 : 0;
  return document.substr(0, body) + doctype + document.substr(body);
}

class HostileVerificationTest : public VerifyTest {
 protected:
  void SetUp() override {
    VerifyTest::SetUp();
    signer_credential_ = pki_.issue(CertOptions());
    verifier_.emplace(pki_.root(), pki_.intermediate());
  }

  // The template signed by xmlsec1, which verifies it too (a test failure otherwise).
  std::string GenuinelySigned(const std::string& templateXml) {
    const std::string signedXml = SignedByTool(templateXml, signer_credential_);
    std::string said;
    EXPECT_TRUE(verifier_->Verifies(signedXml, &said)) << said << signedXml;
    return signedXml;
  }

  Credential signer_credential_;
  std::optional<XmlSecTool> verifier_;
};

TEST_F(HostileVerificationTest, AReferenceToAUrlIsNeverFetched) {
  LoopbackHttpServer server;
  server.serve("/data.xml", "<Data>снаружи</Data>");
  const std::string url = server.url("/data.xml");
  const std::string signedXml = GenuinelySigned(GostTemplate(url, kC14n));
  const int fetched = server.requestsFor("/data.xml");
  ASSERT_GE(fetched, 2);  // once to sign, once to verify
  ExpectRefused(signedXml, kUriRefused, url);
  EXPECT_EQ(server.requestsFor("/data.xml"), fetched);

  // Pointed at a port that only listens: no connection is even attempted.
  Listener listener;
  const std::string elsewhere = Replaced(signedXml, url, listener.url("/data.xml"));
  ExpectRefused(elsewhere, kUriRefused, listener.url("/data.xml"));
  EXPECT_FALSE(listener.WasContacted());
}

TEST_F(HostileVerificationTest, AReferenceToALocalFileIsNeverRead) {
  const std::string file = scratch_.Write("outside.xml", std::string("<Data>файл</Data>"));
  for (const std::string& uri : {"file://" + file, file}) {
    SCOPED_TRACE(uri);
    CheckRecord::Get() = CheckRecord();
    const std::string signedXml = GenuinelySigned(GostTemplate(uri, kC14n));
    ExpectRefused(signedXml, kUriRefused, uri);
  }
}

TEST_F(HostileVerificationTest, AnXsltTransformIsNeverRun) {
  const std::string xslt =
      std::string(kEnveloped) +
      "<Transform Algorithm=\"http://www.w3.org/TR/1999/REC-xslt-19991116\">"
      "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
      "<xsl:output method=\"text\"/><xsl:template match=\"/\">"
      "<xsl:value-of select=\"//*[local-name()='Data']\"/></xsl:template></xsl:stylesheet>"
      "</Transform>";
  const std::string signedXml = GenuinelySigned(GostTemplate("", xslt));
  ExpectRefused(signedXml, kTransformRefused, "REC-xslt-19991116");
}

TEST_F(HostileVerificationTest, ExternalEntitiesAndDtdsAreNotRead) {
  Listener listener;
  const std::string secret = "QUILLET-OUTSIDE-CONTENT-51c2";
  // A DTD that, were it read, would give the root an attribute the signature does not
  // cover: the verification would then fail with 217.
  const std::string dtd =
      scratch_.Write("outside.dtd", "<!ATTLIST Envelope leak CDATA \"" + secret + "\">");
  struct Case {
    const char* what;
    std::string doctype;
  };
  const std::vector<Case> cases = {
      {"external DTD file", "<!DOCTYPE Envelope SYSTEM \"file://" + dtd + "\">"},
      {"external DTD URL", "<!DOCTYPE Envelope SYSTEM \"" + listener.url("/doc.dtd") + "\">"},
      {"external parameter entities", "<!DOCTYPE Envelope [<!ENTITY % p SYSTEM \"" + dtd +
                                          "\"> %p; <!ENTITY % q SYSTEM \"" +
                                          listener.url("/p.dtd") + "\"> %q;]>"},
  };
  // Signed without the declarations from outside.
  const std::string signedXml = GenuinelySigned(GostTemplate());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(VerifyWith(WithDoctype(signedXml, c.doctype)), 0) << DescribeErrors();
  }
  EXPECT_FALSE(listener.WasContacted());

  // An external entity in the content fails the parse, as when signing.
  const std::string entity =
      WithDoctype(Replaced(signedXml, "</Data>", "&xxe;</Data>"),
                  "<!DOCTYPE Envelope [<!ENTITY xxe SYSTEM \"file://" + dtd + "\">]>");
  EXPECT_EQ(VerifyWith(entity), 209);
  const std::vector<TraceLine> expected = {
      {L"Verify", 0, 0},
      {L"external entity refused: " + Wide("file://" + dtd), 209, 0},
      {L"Verify: 209", 209, 0}};
  EXPECT_EQ(Recorded::lines(), expected);
  EXPECT_EQ(DescribeErrors().find(secret), std::string::npos);
}

TEST_F(HostileVerificationTest, ADeclaredWindows1251DocumentArrivesAsUtf8AndVerifies) {
  // xmlsec1 signs the windows-1251 bytes; the page hands the same document on as a JSON
  // string, that is as UTF-8 with the declaration unchanged.
  const std::string declaration = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n";
  const std::string template_1251 =
      Convert(declaration + GostTemplate("", kEnveloped, "<X509Data/>",
                                         "<Data>Заявление: прошу принять</Data>"),
              "UTF-8", "WINDOWS-1251");
  ASSERT_FALSE(template_1251.empty());
  const std::string signed_1251 = SignedByTool(template_1251, signer_credential_);
  ASSERT_NE(signed_1251.find("windows-1251"), std::string::npos) << signed_1251;
  const std::string as_utf8 = Convert(signed_1251, "WINDOWS-1251", "UTF-8");
  ASSERT_NE(as_utf8.find("Заявление: прошу принять"), std::string::npos) << as_utf8;
  EXPECT_EQ(VerifyWith(as_utf8), 0) << DescribeErrors();
  EXPECT_EQ(Recorded::lines(), Bare(0));
  // Changed after signing, it still fails as any document does.
  EXPECT_EQ(VerifyWith(Replaced(as_utf8, "прошу принять", "прошу отклонить")), 217);
}

}  // namespace
}  // namespace quillet::test
