// Documents from web pages that try to reach outside themselves (external entities and
// DTDs naming local files or URLs) or to exhaust memory (entity expansion): nothing outside
// the document is ever read or fetched, and nothing of it reaches any output.
#include <gtest/gtest.h>

#include <string>

#include "tests/proxy/listener.h"
#include "tests/proxy/signing_fixture.h"

namespace quillet::test {
namespace {

// Text that only the outside resources hold.
constexpr char kSecret[] = "QUILLET-OUTSIDE-CONTENT-7f3a";

class HostileDocumentTest : public SigningTest {
 protected:
  void SetUp() override {
    SigningTest::SetUp();
    UseSigner(KeyType::kGost2012_256);
    secret_file_ = scratch_.Write("secret.txt", kSecret);
    secret_dtd_ =
        scratch_.Write("secret.dtd", std::string("<!ATTLIST doc leak CDATA \"") + kSecret +
                                         "\"><!ENTITY outside \"" + kSecret + "\">");
  }

  // Signs the document in both result forms. Returns the codes, and fails the test when
  // anything of the outside resources shows in a result, the trace or xmlsec1's errors.
  std::vector<int> SignEverywhere(const std::string& document) {
    std::vector<int> codes;
    for (bool signature_only : {false, true}) {
      int code = -1;
      const std::string result = SignText(document, signature_only, &code);
      codes.push_back(code);
      EXPECT_EQ(result.find(kSecret), std::string::npos) << result;
      for (const TraceLine& line : Recorded::lines()) {
        EXPECT_EQ(Narrow(line.text).find(kSecret), std::string::npos);
      }
      EXPECT_EQ(DescribeErrors().find(kSecret), std::string::npos);
    }
    return codes;
  }

  ScratchDir scratch_;
  std::string secret_file_;
  std::string secret_dtd_;
  Listener listener_;
};

TEST_F(HostileDocumentTest, ExternalEntityNamingALocalFile) {
  const std::string document =
      "<!DOCTYPE doc [<!ENTITY xxe SYSTEM \"file://" + secret_file_ + "\">]><doc>&xxe;</doc>";
  EXPECT_EQ(SignEverywhere(document), (std::vector<int>{209, 209}));
  const std::vector<TraceLine> expected = {
      {L"Sign", 0, 0},
      {L"parsing document", 0, 0},
      {L"checking root element", 0, 0},
      {L"external entity refused: " + Wide("file://" + secret_file_), 209, 0},
      {L"Sign: 209", 209, 0}};
  EXPECT_EQ(Recorded::lines(), expected);
  // The same with a path instead of a URL.
  EXPECT_EQ(SignEverywhere("<!DOCTYPE doc [<!ENTITY xxe SYSTEM \"" + secret_file_ +
                           "\">]><doc>&xxe;</doc>"),
            (std::vector<int>{209, 209}));
}

TEST_F(HostileDocumentTest, ExternalEntityNamingAUrl) {
  const std::string document =
      "<!DOCTYPE doc [<!ENTITY xxe SYSTEM \"" + listener_.url("/entity") + "\">]><doc>&xxe;</doc>";
  EXPECT_EQ(SignEverywhere(document), (std::vector<int>{209, 209}));
  EXPECT_FALSE(listener_.WasContacted());
}

TEST_F(HostileDocumentTest, ExternalParameterEntity) {
  const std::string document = "<!DOCTYPE doc [<!ENTITY % p SYSTEM \"file://" + secret_dtd_ +
                               "\"> %p; <!ENTITY % q SYSTEM \"" + listener_.url("/p") +
                               "\"> %q;]><doc>x</doc>";
  // Declarations from outside are left out; the document itself is whole.
  EXPECT_EQ(SignEverywhere(document), (std::vector<int>{0, 0}));
  EXPECT_FALSE(listener_.WasContacted());
}

TEST_F(HostileDocumentTest, ExternalDtdIsNotRead) {
  for (const std::string& dtd : {"file://" + secret_dtd_, listener_.url("/doc.dtd")}) {
    const std::string document = "<!DOCTYPE doc SYSTEM \"" + dtd + "\"><doc>x</doc>";
    // Signed without what the DTD would add.
    EXPECT_EQ(SignEverywhere(document), (std::vector<int>{0, 0})) << dtd;
    std::string said;
    int code = -1;
    EXPECT_TRUE(verifier_.Verifies(SignText(document, false, &code), &said)) << said;
  }
  EXPECT_FALSE(listener_.WasContacted());
}

TEST_F(HostileDocumentTest, InternalSubsetStillCounts) {
  // Entities and default attributes of the document's own DTD are used.
  const std::string whole = Signed(
      "<!DOCTYPE doc [<!ENTITY greeting \"Здравствуйте\"><!ATTLIST doc kind CDATA \"letter\">]>"
      "<doc>&greeting;</doc>");
  EXPECT_NE(whole.find("<doc kind=\"letter\">Здравствуйте<Signature"), std::string::npos) << whole;
  std::string said;
  EXPECT_TRUE(verifier_.Verifies(whole, &said)) << said;
}

TEST_F(HostileDocumentTest, EntityExpansionBombFails) {
  std::string document = "<!DOCTYPE lolz [<!ENTITY lol0 \"lollollollollollollollollollol\">";
  for (int level = 1; level <= 12; ++level) {
    std::string value;
    for (int copy = 0; copy < 10; ++copy) value += "&lol" + std::to_string(level - 1) + ";";
    document += "<!ENTITY lol" + std::to_string(level) + " \"" + value + "\">";
  }
  document += "]><lolz>&lol12;</lolz>";
  int code = -1;
  EXPECT_EQ(SignText(document, false, &code), "");
  EXPECT_EQ(code, 209);
  ASSERT_GE(Recorded::lines().size(), 5u);
  EXPECT_EQ(Recorded::lines()[3].code, 209);  // libxml2's message
}

}  // namespace
}  // namespace quillet::test
