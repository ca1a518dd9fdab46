// UTF-8 <-> UTF-16 conversions: round trips, surrogate pairs, and every malformed form.
#include "host/text_conversion.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace quillet::test {
namespace {

struct RoundTrip {
  const char* name;
  std::string utf8;
  std::wstring utf16;
};

TEST(TextConversion, ConvertsBothWaysWithoutChange) {
  const RoundTrip cases[] = {
      {"empty", "", L""},
      {"ascii", "getVersion", L"getVersion"},
      {"cyrillic",
       "\xD0\xBF\xD0\xBE\xD0\xB4\xD0\xBF\xD0\xB8\xD1\x81\xD1\x8C",
       {0x043F, 0x043E, 0x0434, 0x043F, 0x0438, 0x0441, 0x044C}},
      {"euro sign, three bytes, one unit", "\xE2\x82\xAC", {0x20AC}},
      {"byte-order mark kept", "\xEF\xBB\xBFx", {0xFEFF, L'x'}},
      {"NUL inside", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
      {"last BMP character", "\xEF\xBF\xBF", {0xFFFF}},
      {"emoji as surrogate pair", "\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
      {"first astral character", "\xF0\x90\x80\x80", {0xD800, 0xDC00}},
      {"last code point", "\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
      {"mixed",
       "\xD0\xAF \xF0\x9F\x98\x80 \xE2\x82\xAC",
       {0x042F, L' ', 0xD83D, 0xDE00, L' ', 0x20AC}},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Utf8ToWide(c.utf8), c.utf16);
    EXPECT_EQ(WideToUtf8(c.utf16), c.utf8);
  }
}

TEST(TextConversion, RefusesMalformedUtf8WithBadConversion) {
  const std::pair<const char*, std::string> cases[] = {
      {"continuation byte first", "\x80"},
      {"stray continuation byte in text", "ab\xBF"},
      {"0xFF 0xFE", "\xFF\xFE"},
      {"lead byte 0xC0 (overlong)", "\xC0\x80"},
      {"lead byte 0xC1 (overlong)", "\xC1\xBF"},
      {"overlong three-byte form", "\xE0\x9F\xBF"},
      {"overlong four-byte form", "\xF0\x8F\xBF\xBF"},
      {"encoded high surrogate", "\xED\xA0\x80"},
      {"encoded low surrogate", "\xED\xBF\xBF"},
      {"above U+10FFFF", "\xF4\x90\x80\x80"},
      {"lead byte 0xF5", "\xF5\x80\x80\x80"},
      {"five-byte sequence", "\xF8\x88\x80\x80\x80"},
      {"six-byte sequence", "\xFC\x84\x80\x80\x80\x80"},
      {"following byte not a continuation", "\xD0\x41"},
      {"following byte is a lead byte", "\xE2\xE2\x82\xAC"},
      {"two-byte sequence cut off", "\xD0"},
      {"three-byte sequence cut off", "x\xE2\x82"},
      {"four-byte sequence cut off", "\xF0\x9F\x98"},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    try {
      Utf8ToWide(bytes);
      ADD_FAILURE() << "converted";
    } catch (const std::range_error& error) {
      EXPECT_STREQ(error.what(), "bad conversion");
    }
  }
}

TEST(TextConversion, RefusesLoneSurrogatesInUtf16WithBadConversion) {
  const std::pair<const char*, std::wstring> cases[] = {
      {"lone high surrogate at the end", {L'a', 0xD83D}},
      {"high surrogate before a normal unit", {0xD83D, L'a'}},
      {"two high surrogates", {0xD83D, 0xD83D}},
      {"lone low surrogate", {0xDE00}},
      {"low before high", {0xDE00, 0xD83D}},
      {"element beyond 16 bits", {static_cast<wchar_t>(0x1F600)}},
  };
  for (const auto& [name, units] : cases) {
    SCOPED_TRACE(name);
    try {
      WideToUtf8(units);
      ADD_FAILURE() << "converted";
    } catch (const std::range_error& error) {
      EXPECT_STREQ(error.what(), "bad conversion");
    }
  }
}

}  // namespace
}  // namespace quillet::test
