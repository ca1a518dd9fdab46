// The host's JSON reading and writing against the library's plain parse() and dump(), on
// generated texts: the same documents, the same errors with the same texts, the same bytes
// written.
#include "host/json_parse.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <typeinfo>

#include <nlohmann/json.hpp>

#include "host/compact_json.h"
#include "host/parse_error_text.h"
#include "host/text_conversion.h"

namespace {

using namespace quillet::host;

// Makes JSON-like texts: mostly valid documents with escapes, surrogate escapes (paired,
// lone, reversed), raw UTF-8 of every length, malformed UTF-8, control characters, big and
// odd numbers, repeated keys and deep nesting; then, for some, one damage (a cut, a byte
// put in, a byte changed) so that every kind of parse error comes up.
class TextMaker {
 public:
  explicit TextMaker(unsigned seed) : random_(seed) {}

  std::string document() {
    std::string text;
    value(text, 0);
    if (chance(3)) damage(text);
    return text;
  }

 private:
  bool chance(int oneIn) { return pick(oneIn) == 0; }
  int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }

  void value(std::string& out, int depth) {
    if (depth < 6 && chance(3)) return container(out, depth);
    if (chance(40)) return nesting(out);
    switch (pick(6)) {
      case 0:
        out += pickOf({"null", "true", "false", "nul", "tru"});
        return;
      case 1:
        out += number();
        return;
      default:
        string(out);
        return;
    }
  }

  void container(std::string& out, int depth) {
    const bool object = chance(2);
    out += object ? '{' : '[';
    const int count = pick(5);
    for (int i = 0; i < count; ++i) {
      if (i > 0) out += ',';
      if (chance(8)) out += " \t\n\r"[pick(4)];
      if (object) {
        if (chance(4))
          out += "\"k\"";  // repeated keys
        else
          string(out);
        out += ':';
      }
      value(out, depth + 1);
    }
    out += object ? '}' : ']';
  }

  void nesting(std::string& out) {
    const int depth = 1 + pick(3000);
    const bool object = chance(2);
    for (int i = 0; i < depth; ++i) out += object ? "{\"a\":" : "[";
    string(out);
    for (int i = 0; i < depth; ++i) out += object ? '}' : ']';
  }

  std::string number() {
    return pickOf({"0",
                   "-0",
                   "12",
                   "-7",
                   "1.5",
                   "-0.0",
                   "1e3",
                   "2E-2",
                   "18446744073709551615",
                   "18446744073709551616",
                   "-9223372036854775808",
                   "-9223372036854775809",
                   "1e400",
                   "-1e400",
                   "01",
                   "1.",
                   ".5",
                   "-",
                   "1e",
                   "0x10",
                   "3.141592653589793"});
  }

  void string(std::string& out) {
    out += '"';
    const int count = pick(12);
    for (int i = 0; i < count; ++i) {
      switch (pick(10)) {
        case 0:
          out += pickOf({"\\n", "\\t", "\\\"", "\\\\", "\\/", "\\b", "\\f", "\\r", "\\u0000",
                         "\\u001f", "\\u00e9", "\\u044F", "\\uFFFF", "\\x", "\\u12"});
          break;
        case 1:
          out += pickOf({"\\ud83d\\ude00", "\\ud83d", "\\ude00", "\\ude00\\ud83d", "\\ud83d\\u0041",
                         "\\uDBFF\\uDFFF", "\\ud800x"});
          break;
        case 2:
          out += pickOf(
              {"\xD0\xAF", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xEF\xBB\xBF", "\xF4\x8F\xBF\xBF"});
          break;
        case 3:
          out += pickOf({"\x80", "\xC0\xAF", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                         "\xF5", "\xFF\xFE", "\xD0", "\xE2\x82", "\x01", "\x1F", "\x7F"});
          break;
        default:
          out += static_cast<char>('a' + pick(26));
          break;
      }
    }
    out += '"';
  }

  void damage(std::string& text) {
    if (text.empty()) return;
    const std::size_t at = static_cast<std::size_t>(pick(static_cast<int>(text.size())));
    switch (pick(3)) {
      case 0:
        text.resize(at);
        break;
      case 1:
        text.insert(at, 1, "\"{}[],:\\\0\x80x "[pick(12)]);
        break;
      default:
        text[at] = static_cast<char>(pick(256));
        break;
    }
  }

  const char* pickOf(std::initializer_list<const char*> choices) {
    return choices.begin()[pick(static_cast<int>(choices.size()))];
  }

  std::mt19937 random_;
};

// What a parse came to: the document written by the library, or the error's type and text
// (and the host's text of a parse error).
std::string outcome(const char* text, nlohmann::json (*parse)(const char*)) {
  try {
    const nlohmann::json document = parse(text);
    return "document " + document.dump();
  } catch (const nlohmann::json::parse_error& error) {
    return std::string("parse_error ") + error.what() + " | " + parseErrorText(error);
  } catch (const nlohmann::json::exception& error) {
    return std::string(typeid(error).name()) + " " + error.what();
  }
}

nlohmann::json libraryParse(const char* text) { return nlohmann::json::parse(text); }

TEST(JsonParse, GivesTheLibrarysDocumentsAndErrorsOnGeneratedTexts) {
  TextMaker maker(20261209);
  int parsed = 0;
  int refused = 0;
  for (int i = 0; i < 4000; ++i) {
    const std::string text = maker.document();
    const std::string expected = outcome(text.c_str(), libraryParse);
    ASSERT_EQ(outcome(text.c_str(), parseJson), expected) << "text: " << text;
    // What the parser accepts is well-formed UTF-8 by the host's own rules: the host checks
    // only the bytes after the parsed text itself.
    if (expected.rfind("document ", 0) == 0) {
      EXPECT_NO_THROW(CheckUtf8(text.c_str(), std::strlen(text.c_str()))) << text;
    }
    (expected.rfind("document ", 0) == 0 ? parsed : refused)++;
  }
  // Both roads were taken many times.
  EXPECT_GT(parsed, 1000);
  EXPECT_GT(refused, 1000);
}

TEST(JsonParse, DocumentsAreEqualValueForValue) {
  TextMaker maker(7);
  for (int i = 0; i < 2000; ++i) {
    const std::string text = maker.document();
    nlohmann::json expected;
    try {
      expected = nlohmann::json::parse(text.c_str());
    } catch (const nlohmann::json::exception&) {
      continue;
    }
    const nlohmann::json document = parseJson(text.c_str());
    ASSERT_EQ(document, expected) << text;
    ASSERT_EQ(document.type(), expected.type()) << text;  // unsigned, signed and float apart
  }
}

TEST(JsonParse, LargeStringsAndTheFirstNul) {
  const std::string big(3 << 20, 'x');
  const std::string text = "{\"xmls\":[\"" + big + "\",\"\\u044F\"],\"a\":1}";
  const nlohmann::json document = parseJson(text.c_str());
  EXPECT_EQ(document["xmls"][0].get_ref<const std::string&>(), big);
  EXPECT_EQ(document, nlohmann::json::parse(text));
  // The parser sees the text up to its first NUL, as the library's parse of a C string does.
  const std::string withNul = std::string("{\"a\":1}") + '\0' + "garbage";
  EXPECT_EQ(parseJson(withNul.c_str()), nlohmann::json({{"a", 1}}));
}

TEST(CompactJson, WritesWhatTheLibraryWritesForGeneratedDocuments) {
  TextMaker maker(99);
  for (int i = 0; i < 3000; ++i) {
    const std::string text = maker.document();
    nlohmann::json document;
    try {
      document = nlohmann::json::parse(text.c_str());
    } catch (const nlohmann::json::exception&) {
      continue;
    }
    ASSERT_EQ(compactJson(document), document.dump()) << text;
  }
}

TEST(CompactJson, RefusesAStringThatIsNotUtf8AsTheLibraryDoes) {
  // The parser never makes one; a document built by hand can hold one.
  for (const char* bad : {"\xFF", "ab\xC0\xAF", "\xED\xA0\x80", "x\xE2\x82"}) {
    const nlohmann::json document = {{"content", {std::string("ok"), std::string(bad)}}};
    std::string expected;
    try {
      document.dump();
    } catch (const nlohmann::json::type_error& error) {
      expected = error.what();
    }
    ASSERT_FALSE(expected.empty()) << bad;
    try {
      compactJson(document);
      ADD_FAILURE() << "written: " << bad;
    } catch (const nlohmann::json::type_error& error) {
      EXPECT_EQ(std::string(error.what()), expected);
    }
  }
}

}  // namespace
