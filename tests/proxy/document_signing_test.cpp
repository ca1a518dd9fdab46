// Sign: the signed outputs of every algorithm pair checked by the bundled xmlsec1 tool,
// the trace of every outcome, the encoding rules and the signature-only result.
#include <gtest/gtest.h>
#include <libxml/xmlerror.h>

#include <string>

#include "tests/proxy/signing_fixture.h"

namespace quillet::test {
namespace {

const char kDocument[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Заявление id=\"z1\"><Поле>Иванов Иван</Поле><note>&#x1F600; &amp; more</note></Заявление>";

const std::vector<TraceLine> kSuccessLines = {
    {L"Sign", 0, 0},
    {L"parsing document", 0, 0},
    {L"checking root element", 0, 0},
    {L"checking encoding", 0, 0},
    {L"creating signature context", 0, 0},
    {L"signing", 0, 0},
    {L"preparing result", 0, 0},
    {L"freeing buffer", 0, 0},
    {L"destroying signature context", 0, 0},
    {L"freeing document", 0, 0},
    {L"Sign: 0", 0, 0},
};

struct AlgorithmCase {
  KeyType type;
  const char* signature_method;
};

const AlgorithmCase kAlgorithms[] = {
    {KeyType::kGost2001, "http://www.w3.org/2001/04/xmldsig-more#gostr34102001-gostr3411"},
    {KeyType::kGost2012_256,
     "urn:ietf:params:xml:ns:cpxmlsec:algorithms:gostr34102012-gostr34112012-256"},
    {KeyType::kGost2012_512,
     "urn:ietf:params:xml:ns:cpxmlsec:algorithms:gostr34102012-gostr34112012-512"},
};

TEST_F(SigningTest, EveryAlgorithmPairSignsWhatXmlSecVerifies) {
  for (const AlgorithmCase& c : kAlgorithms) {
    SCOPED_TRACE(c.signature_method);
    UseSigner(c.type);
    const std::string whole = Signed(kDocument);
    EXPECT_EQ(Recorded::lines(), kSuccessLines);
    EXPECT_NE(whole.find(c.signature_method), std::string::npos) << whole;
    std::string said;
    EXPECT_TRUE(verifier_.Verifies(whole, &said)) << said << whole;

    const ParsedXml parsed(whole);
    EXPECT_TRUE(IsSignature(parsed.LastChildElement())) << whole;
    EXPECT_NE(whole.find("<Поле>Иванов Иван</Поле><note>\xF0\x9F\x98\x80 &amp; more</note>"),
              std::string::npos)
        << whole;

    const std::string signature = Signed(kDocument, /*signature_only=*/true);
    EXPECT_EQ(signature.rfind("<Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\">", 0), 0u)
        << signature;
    EXPECT_TRUE(verifier_.Verifies(WithSignature(kDocument, signature), &said)) << said;
  }
}

TEST_F(SigningTest, ChangedDocumentNoLongerVerifies) {
  // The verifier really checks: the same signed text with one letter changed fails.
  UseSigner(KeyType::kGost2012_256);
  std::string whole = Signed(kDocument);
  const std::string::size_type at = whole.find("Иван<");
  ASSERT_NE(at, std::string::npos);
  whole.replace(at, 8, "Пётр");
  std::string said;
  EXPECT_FALSE(verifier_.Verifies(whole, &said)) << said;
}

TEST_F(SigningTest, DeclarationRules) {
  UseSigner(KeyType::kGost2012_256);
  const struct {
    const char* name;
    std::string document;
    std::string starts_with;  // of the whole-document result
  } cases[] = {
      {"no declaration", "<a>x</a>", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a>x"},
      {"lower case utf-8", "<?xml version=\"1.0\" encoding=\"utf-8\"?><a>x</a>",
       "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<a>x"},
      {"mixed case", "<?xml version='1.0' encoding='Utf-8'?><a>x</a>",
       "<?xml version=\"1.0\" encoding=\"Utf-8\"?>\n<a>x"},
      {"declaration without encoding", "<?xml version=\"1.0\"?><a>x</a>",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a>x"},
  };
  for (const auto& c : cases) {
    const std::string whole = Signed(c.document);
    EXPECT_EQ(whole.rfind(c.starts_with, 0), 0u) << c.name << ": " << whole;
    std::string said;
    EXPECT_TRUE(verifier_.Verifies(whole, &said)) << c.name << ": " << said;
    // The signature alone never has a declaration.
    EXPECT_EQ(Signed(c.document, true).rfind("<Signature ", 0), 0u) << c.name;
  }
}

// libxml2's own message for a text it cannot parse.
std::wstring ParserMessage(const std::string& text) {
  xmlResetLastError();
  xmlFreeDoc(xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                           XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  const xmlError* error = xmlGetLastError();
  return error != nullptr ? Wide(error->message) : std::wstring();
}

TEST_F(SigningTest, TraceOfEveryOutcome) {
  UseSigner(KeyType::kGost2012_256);
  // A key whose algorithm does not match the template's signature method cannot sign.
  Certificate other = StoredSigner(KeyType::kGost2001);
  _xmlSecKey* mismatched_key = KeyFor(other.get());

  const std::wstring malformed_message = ParserMessage("<a><b></a>");
  ASSERT_FALSE(malformed_message.empty());
  const struct {
    const char* name;
    std::string document;
    _xmlSecKey* key;
    int code;
    std::vector<TraceLine> after_root_check;
  } cases[] = {
      {"malformed", "<a><b></a>", key_, 209, {{malformed_message, 209, 0}, {L"Sign: 209", 209, 0}}},
      {"other encoding",
       "<?xml version=\"1.0\" encoding=\"windows-1251\"?><a/>",
       key_,
       210,
       {{L"checking encoding", 0, 0}, {L"freeing document", 0, 0}, {L"Sign: 210", 210, 0}}},
      {"signing fails",
       "<a/>",
       mismatched_key,
       214,
       {{L"checking encoding", 0, 0},
        {L"creating signature context", 0, 0},
        {L"signing", 0, 0},
        {L"destroying signature context", 0, 0},
        {L"freeing document", 0, 0},
        {L"Sign: 214", 214, 0}}},
      {"success", "<a/>", key_, 0,
       std::vector<TraceLine>(kSuccessLines.begin() + 3, kSuccessLines.end())},
  };
  for (const auto& c : cases) {
    Recorded::Clear();
    wchar_t* result = reinterpret_cast<wchar_t*>(0x1);
    const std::wstring document = Wide(c.document);
    EXPECT_EQ(proxy_.sign(RecordTrace, c.key, template_, false, document.c_str(), &result), c.code)
        << c.name;
    std::vector<TraceLine> expected = {
        {L"Sign", 0, 0}, {L"parsing document", 0, 0}, {L"checking root element", 0, 0}};
    expected.insert(expected.end(), c.after_root_check.begin(), c.after_root_check.end());
    EXPECT_EQ(Recorded::lines(), expected) << c.name;
    if (c.code == 0) {
      proxy_.free_buffer(result);
    } else {
      EXPECT_EQ(result, reinterpret_cast<wchar_t*>(0x1)) << c.name << ": out-pointer touched";
    }
  }
}

TEST_F(SigningTest, TextsThatAreNotDocuments) {
  UseSigner(KeyType::kGost2012_256);
  const struct {
    const char* name;
    std::wstring document;
  } cases[] = {
      {"empty", L""},
      {"text only", L"just text"},
      {"two roots", L"<a/><b/>"},
      {"lone surrogate", std::wstring(L"<a>") + wchar_t(0xD83D) + L"</a>"},
  };
  for (const auto& c : cases) {
    int code = -1;
    EXPECT_EQ(SignWide(c.document, false, &code), "") << c.name;
    EXPECT_EQ(code, 209) << c.name;
    ASSERT_GE(Recorded::lines().size(), 2u);
    EXPECT_EQ(Recorded::lines().back(), (TraceLine{L"Sign: 209", 209, 0})) << c.name;
  }
}

TEST_F(SigningTest, SignatureOnlyIsTheNewSignature) {
  UseSigner(KeyType::kGost2012_256);
  // A document that already holds a signature ahead of the new one.
  const std::string first = Signed("<a><b>x</b></a>");
  const std::string old_signature = Dump(ParsedXml(first).LastChildElement());
  const std::string second_whole = Signed(first);
  const std::string second_signature = Signed(first, /*signature_only=*/true);
  EXPECT_NE(second_signature, old_signature);
  std::string said;
  // The new signature covers the document with the older one in it.
  const std::string last_signature = "(//*[local-name()='Signature'])[last()]";
  EXPECT_TRUE(verifier_.Verifies(second_whole, &said, last_signature)) << said;
  EXPECT_TRUE(verifier_.Verifies(WithSignature(first, second_signature), &said, last_signature))
      << said;
  const ParsedXml parsed(second_whole);
  EXPECT_TRUE(IsSignature(parsed.LastChildElement()));
  EXPECT_TRUE(IsSignature(xmlPreviousElementSibling(parsed.LastChildElement())));
}

TEST_F(SigningTest, OneKeyAndTemplateServeManyDocuments) {
  UseSigner(KeyType::kGost2012_512);
  const std::string template_before = Dump(template_);
  for (const char* document : {"<first>1</first>", "<second a=\"b\"><c/></second>"}) {
    const std::string whole = Signed(document);
    std::string said;
    EXPECT_TRUE(verifier_.Verifies(whole, &said)) << document << ": " << said;
    EXPECT_EQ(Dump(template_), template_before);
  }
}

TEST_F(SigningTest, KeyOutlivesTheHostsCertificateContext) {
  signer_ = StoredSigner(KeyType::kGost2012_256);
  key_ = KeyFor(signer_.get());
  template_ = TemplateFor(signer_.get());
  signer_.reset();  // the host releases its context after preparing the key
  std::string said;
  EXPECT_TRUE(verifier_.Verifies(Signed("<a/>"), &said)) << said;
}

}  // namespace
}  // namespace quillet::test
