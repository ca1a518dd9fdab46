// The host's own JSON texts: documents serialised without recursion, exactly as the library
// serialises them, and parse errors reported without the bytes they quote.
#include <gtest/gtest.h>

#include <string>

#include <nlohmann/json.hpp>

#include "host/compact_json.h"
#include "host/parse_error_text.h"

namespace quillet::test {

using namespace quillet::host;
namespace {

TEST(CompactJson, IsTheLibrarysSerialisation) {
  const char* const documents[] = {
      "null",
      "true",
      "-0.5",
      "18446744073709551615",
      "\"\\u0000ё\\ud83d\\ude00\"",
      "[]",
      "{}",
      R"({"b":[1,[],{},[[2]],{"z":null,"a":"x"}],"a":{"":[{}]}})",
      R"([[[["deep"]],[[]]],{"k":[{"k":[{"k":"v"}]}]}])",
  };
  for (const char* text : documents) {
    const nlohmann::json document = nlohmann::json::parse(text);
    EXPECT_EQ(compactJson(document), document.dump()) << text;
  }
}

TEST(CompactJson, NestingDeeperThanAnyStackIsSerialisedWhole) {
  // Deep enough for a recursive serialiser to overflow an 8 MiB stack; the host's own test
  // sends a million levels through the program.
  const int depth = 200000;
  const std::string text =
      "{\"a\":" + std::string(depth, '[') + "{}" + std::string(depth, ']') + "}";
  EXPECT_EQ(compactJson(nlohmann::json::parse(text)), text);
}

// The library's text of the parse error of body.
std::string parseErrorOf(const std::string& body) {
  try {
    const nlohmann::json parsed = nlohmann::json::parse(body);
    return "<parsed " + parsed.dump() + ">";
  } catch (const nlohmann::json::parse_error& error) {
    return parseErrorText(error);
  }
}

TEST(ParseErrorText, KeepsKindPositionAndExpectationButNotTheQuotedBytes) {
  const struct {
    std::string body;
    std::string text;
  } cases[] = {
      {"abc",
       "[json.exception.parse_error.101] parse error at line 1, column 1: syntax error while "
       "parsing value - invalid literal"},
      {R"({"a":"secret)",
       "[json.exception.parse_error.101] parse error at line 1, column 13: syntax error while "
       "parsing value - invalid string: missing closing quote"},
      // A token that ends like the library's own "; expected ..." is still dropped, and the
      // library's own expectation is kept.
      {R"({"secret'; expected ':')" + std::string("\x03"),
       "[json.exception.parse_error.101] parse error at line 1, column 24: syntax error while "
       "parsing object key - invalid string: control character U+0003 (ETX) must be escaped "
       "to \\u0003; expected string literal"},
      // No quoted token: the library's text as it is.
      {"[1,]",
       "[json.exception.parse_error.101] parse error at line 1, column 4: syntax error while "
       "parsing value - unexpected ']'; expected '[', '{', or a literal"},
      {"",
       "[json.exception.parse_error.101] parse error at line 1, column 1: syntax error while "
       "parsing value - unexpected end of input; expected '[', '{', or a literal"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parseErrorOf(c.body), c.text) << c.body;
  }
}

}  // namespace
}  // namespace quillet::test
