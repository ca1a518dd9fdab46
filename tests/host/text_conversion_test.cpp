// UTF-8 <-> UTF-16 conversions: round trips, surrogate pairs, and every malformed form.
#include "host/text_conversion.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace quillet::test {

using namespace quillet::host;
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

// The host's conversions against the platform's code-page conversions with their error
// flags (another codec with the same rules) on generated texts: pieces of every kind, at
// every distance from the eight-byte steps of the ASCII road.
class PieceMaker {
 public:
  explicit PieceMaker(unsigned seed) : random_(seed) {}

  std::string utf8() {
    static const char* const kPieces[] = {"a",
                                          "abcdefgh",
                                          "0123456789abcdef",
                                          "\xD0\xAF",
                                          "\xC2\x80",
                                          "\xDF\xBF",
                                          "\xE2\x82\xAC",
                                          "\xEF\xBB\xBF",
                                          "\xF0\x9F\x98\x80",
                                          "\xF4\x8F\xBF\xBF",
                                          "\x80",
                                          "\xD0",
                                          "\xE2\x82",
                                          "\xC0\xAF",
                                          "\xED\xA0\x80",
                                          "\xF4\x90\x80\x80",
                                          "\xF8",
                                          "\xFF"};
    std::string text;
    const int count = pick(20);
    for (int i = 0; i < count; ++i) {
      // Malformed pieces rarely, so that many texts are well-formed.
      const int piece = pick(100) < 97 ? pick(10) : pick(18);
      text += kPieces[piece];
    }
    return text;
  }

  std::wstring utf16() {
    static const wchar_t kUnits[] = {L'a',   L'z',   0x7F,   0x80,   0x42F,  0x7FF, 0x800,
                                     0xFFFF, 0xFEFF, 0xD83D, 0xDE00, 0xDBFF, 0xDFFF};
    std::wstring text;
    const int count = pick(24);
    for (int i = 0; i < count; ++i) {
      if (pick(10) < 8) {
        text += L"abcdefgh"[pick(8)];
      } else if (pick(4) == 0) {
        text += L"\xD83D\xDE00";
      } else {
        text += kUnits[pick(13)];
      }
    }
    return text;
  }

 private:
  int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }
  std::mt19937 random_;
};

TEST(TextConversion, AgreesWithThePlatformCodecOnGeneratedTexts) {
  PieceMaker maker(42);
  int wellFormed = 0;
  for (int i = 0; i < 20000; ++i) {
    const std::string utf8 = maker.utf8();
    wchar_t units[512];
    const int size = utf8.empty() ? 1
                                  : MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                                        static_cast<int>(utf8.size()), units, 512);
    try {
      const std::wstring wide = Utf8ToWide(utf8);
      ASSERT_GT(size, 0) << utf8;
      ASSERT_EQ(wide, utf8.empty() ? std::wstring() : std::wstring(units, size)) << utf8;
      ASSERT_EQ(WideToUtf8(wide), utf8);
      ++wellFormed;
    } catch (const std::range_error&) {
      ASSERT_EQ(size, 0) << utf8;
      EXPECT_THROW(CheckUtf8(utf8), std::range_error);
    }

    const std::wstring wide = maker.utf16();
    char bytes[512];
    const int length =
        wide.empty()
            ? 1
            : WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(),
                                  static_cast<int>(wide.size()), bytes, 512, nullptr, nullptr);
    try {
      const std::string narrow = WideToUtf8(wide);
      ASSERT_GT(length, 0);
      ASSERT_EQ(narrow, wide.empty() ? std::string() : std::string(bytes, length));
    } catch (const std::range_error&) {
      ASSERT_EQ(length, 0);
    }
  }
  EXPECT_GT(wellFormed, 5000);
}

}  // namespace
}  // namespace quillet::test
