// The platform's one UTF-8/UTF-16 codec, through the code-page conversions that carry it
// (strict with the error flags, replacing without), with texts long enough for its short
// roads for ASCII runs and two-byte sequences to be taken and left at every position.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace {

// Converts bytes (explicit length) to UTF-16; "refused" when the conversion fails.
std::u16string ToUtf16(const std::string& bytes, DWORD flags) {
  const int size = static_cast<int>(bytes.size());
  const int units = MultiByteToWideChar(CP_UTF8, flags, bytes.data(), size, nullptr, 0);
  if (units == 0) return u"refused";
  std::vector<wchar_t> out(static_cast<std::size_t>(units));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, flags, bytes.data(), size, out.data(), units), units);
  return std::u16string(out.begin(), out.end());
}

std::string ToUtf8(const std::u32string& units, DWORD flags) {
  const std::wstring wide(units.begin(), units.end());
  const int size = static_cast<int>(wide.size());
  const int bytes =
      WideCharToMultiByte(CP_UTF8, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (bytes == 0) return "refused";
  std::string out(static_cast<std::size_t>(bytes), '\0');
  EXPECT_EQ(
      WideCharToMultiByte(CP_UTF8, flags, wide.data(), size, out.data(), bytes, nullptr, nullptr),
      bytes);
  return out;
}

// Every prefix length of ASCII, so that a case begins inside, at the end of and after the
// eight-byte steps of the ASCII road.
const std::string kPrefixes[] = {"", "a", "abcdefg", "abcdefgh", "abcdefghijklmnopq"};

std::u16string Ascii16(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

TEST(Utf16Codec, Utf8Table) {
  const struct {
    const char* name;
    std::string utf8;
    std::u16string replaced;  // without the error flag; with it, only valid ones convert
    bool valid;
  } cases[] = {
      {"two-byte", "\xD0\xAF\xD1\x8F", u"\u042F\u044F", true},
      {"smallest two-byte", "\xC2\x80", u"\u0080", true},
      {"three-byte", "\xE2\x82\xAC", u"\u20AC", true},
      {"last BMP", "\xEF\xBF\xBF", u"\uFFFF", true},
      {"four-byte", "\xF0\x9F\x98\x80", u"\U0001F600", true},
      {"last code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF", true},
      {"two-byte cut off", "\xD0", u"\uFFFD", false},
      {"two-byte cut by ASCII", "\xD0z", u"\uFFFDz", false},
      {"three-byte cut off", "\xE2\x82", u"\uFFFD", false},
      {"four-byte cut by ASCII", "\xF0\x9F\x98z", u"\uFFFDz", false},
      {"overlong C0", "\xC0\xAF", u"\uFFFD\uFFFD", false},
      {"overlong C1", "\xC1\xBF", u"\uFFFD\uFFFD", false},
      {"overlong three-byte", "\xE0\x80\xAF", u"\uFFFD", false},
      {"overlong four-byte", "\xF0\x8F\xBF\xBF", u"\uFFFD", false},
      {"encoded high surrogate", "\xED\xA0\x80", u"\uFFFD", false},
      {"encoded low surrogate", "\xED\xBF\xBF", u"\uFFFD", false},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD", false},
      {"lead F5", "\xF5\x80", u"\uFFFD\uFFFD", false},
      {"lone continuation", "\x80", u"\uFFFD", false},
      {"FF FE", "\xFF\xFE", u"\uFFFD\uFFFD", false},
      {"lead byte where a continuation must be", "\xD0\xD0\xAF", u"\uFFFD\u042F", false},
  };
  for (const auto& c : cases) {
    for (const std::string& prefix : kPrefixes) {
      SCOPED_TRACE(std::string(c.name) + " after " + std::to_string(prefix.size()) + " ASCII");
      const std::u16string replaced = Ascii16(prefix) + c.replaced;
      EXPECT_EQ(ToUtf16(prefix + c.utf8, 0), replaced);
      EXPECT_EQ(ToUtf16(prefix + c.utf8, MB_ERR_INVALID_CHARS), c.valid ? replaced : u"refused");
      EXPECT_EQ(ToUtf16(prefix + c.utf8 + prefix, 0), replaced + Ascii16(prefix));
    }
  }
}

TEST(Utf16Codec, Utf16Table) {
  const struct {
    const char* name;
    std::u32string units;
    std::string replaced;
    bool valid;
  } cases[] = {
      {"two-byte", {0x42F, 0x7FF}, "\xD0\xAF\xDF\xBF", true},
      {"smallest two-byte", {0x80}, "\xC2\x80", true},
      {"three-byte", {0x800, 0xFFFF}, "\xE0\xA0\x80\xEF\xBF\xBF", true},
      {"pair", {0xD83D, 0xDE00}, "\xF0\x9F\x98\x80", true},
      {"lone high at the end", {0xD83D}, "\xEF\xBF\xBD", false},
      {"lone high before ASCII", {0xD83D, 'z'}, "\xEF\xBF\xBDz", false},
      {"two highs then a low", {0xD83D, 0xD83D, 0xDE00}, "\xEF\xBF\xBD\xF0\x9F\x98\x80", false},
      {"lone low", {0xDE00}, "\xEF\xBF\xBD", false},
      {"low before high", {0xDE00, 0xD83D}, "\xEF\xBF\xBD\xEF\xBF\xBD", false},
      // wchar_t is 32 bits here: a value beyond one UTF-16 unit is not cut to 16 bits.
      {"unit above 0xFFFF", {0x1F600}, "\xEF\xBF\xBD", false},
  };
  for (const auto& c : cases) {
    for (const std::string& prefix : kPrefixes) {
      SCOPED_TRACE(std::string(c.name) + " after " + std::to_string(prefix.size()) + " ASCII");
      const std::u32string units = std::u32string(prefix.begin(), prefix.end()) + c.units;
      EXPECT_EQ(ToUtf8(units, 0), prefix + c.replaced);
      EXPECT_EQ(ToUtf8(units, WC_ERR_INVALID_CHARS), c.valid ? prefix + c.replaced : "refused");
    }
  }
}

TEST(Utf16Codec, LongMixedTextsRoundTrip) {
  std::string text;
  for (int i = 0; i < 5000; ++i)
    text += "Реестр платежей № 12345; amount=1000.00 \xE2\x82\xAC \xF0\x9F\x98\x80 ";
  const std::u16string wide = ToUtf16(text, MB_ERR_INVALID_CHARS);
  ASSERT_NE(wide, u"refused");
  EXPECT_EQ(ToUtf8(std::u32string(wide.begin(), wide.end()), WC_ERR_INVALID_CHARS), text);
  // One bad byte far inside refuses the whole text, and becomes one U+FFFD without the flag.
  std::string damaged = text;
  damaged[damaged.find(';', damaged.size() / 2)] = '\xFF';
  EXPECT_EQ(ToUtf16(damaged, MB_ERR_INVALID_CHARS), u"refused");
  const std::u16string replaced = ToUtf16(damaged, 0);
  EXPECT_EQ(std::count(replaced.begin(), replaced.end(), u'\uFFFD'), 1);
}

}  // namespace
