// Request values inside trace texts: every character that could end a log record or act on
// a terminal is written as an escape.
#include <gtest/gtest.h>

#include <string>

#include "host/escaped_value.h"

namespace quillet::test {

using namespace quillet::host;
namespace {

TEST(EscapedValue, EscapesControlsAndLineSeparatorsOnly) {
  const struct {
    std::wstring value;
    std::wstring escaped;
  } cases[] = {
      {L"My", L"My"},
      {L"a\nb\r\n", L"a\\x0Ab\\x0D\\x0A"},
      {std::wstring(L"x\0y", 3), L"x\\x00y"},
      {L"\x1B[31m\t\x1F\x7F", L"\\x1B[31m\\x09\\x1F\\x7F"},
      {L"\x80\x85\x9F\xA0", L"\\x80\\x85\\x9F\xA0"},
      {L"\x2028\x2029\x2027", L"\\u2028\\u2029\x2027"},
      {L"C:\\path ёж \xD83D\xDE00", L"C:\\path ёж \xD83D\xDE00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(escapedValue(c.value), c.escaped);
  }
}

}  // namespace
}  // namespace quillet::test
