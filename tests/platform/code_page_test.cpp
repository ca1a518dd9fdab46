// MultiByteToWideChar / WideCharToMultiByte with CP_UTF8, as the signature library uses them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace quillet::test {
namespace {

// Converts UTF-8 bytes with their NUL (length -1) and returns the units without the NUL;
// *result gets the call's result.
std::u16string ToUtf16(const std::string& utf8, DWORD flags, int* result) {
  wchar_t out[64] = {};
  *result = MultiByteToWideChar(CP_UTF8, flags, utf8.c_str(), -1, out, 64);
  std::u16string units;
  for (int i = 0; i + 1 < *result; ++i) units.push_back(static_cast<char16_t>(out[i]));
  return units;
}

std::string ToUtf8(const std::u16string& utf16, DWORD flags, int* result) {
  std::wstring wide(utf16.begin(), utf16.end());
  char out[64] = {};
  *result = WideCharToMultiByte(CP_UTF8, flags, wide.c_str(), -1, out, 64, nullptr, nullptr);
  return *result > 0 ? std::string(out, static_cast<std::size_t>(*result - 1)) : std::string();
}

TEST(CodePageTest, Utf8ToUtf16) {
  struct Case {
    const char* name;
    std::string utf8;
    std::u16string lenient;  // without MB_ERR_INVALID_CHARS
    bool valid;
  };
  const Case cases[] = {
      {"ascii", "abc", u"abc", true},
      {"cyrillic", "\xD0\x9F\xD1\x80\xD0\xB8", u"\u041F\u0440\u0438", true},
      {"euro", "\xE2\x82\xAC", u"\u20AC", true},
      {"astral", "\xF0\x9F\x98\x80", u"\U0001F600", true},
      {"bom kept", "\xEF\xBB\xBFx", u"\uFEFFx", true},
      {"stray continuation", "a\x80z", u"a\uFFFDz", false},
      {"cut short", "a\xE2\x82", u"a\uFFFD", false},
      {"overlong", "\xC0\xAF", u"\uFFFD\uFFFD", false},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD", false},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD", false},
  };
  for (const Case& c : cases) {
    int result = 0;
    EXPECT_EQ(ToUtf16(c.utf8, 0, &result), c.lenient) << c.name;
    EXPECT_EQ(result, static_cast<int>(c.lenient.size()) + 1) << c.name;
    SetLastError(0);
    ToUtf16(c.utf8, MB_ERR_INVALID_CHARS, &result);
    EXPECT_EQ(result > 0, c.valid) << c.name;
    if (!c.valid) {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    }
  }
}

TEST(CodePageTest, Utf16ToUtf8) {
  struct Case {
    const char* name;
    std::u16string utf16;
    std::string lenient;
    bool valid;
  };
  const Case cases[] = {
      {"cyrillic", u"\u041F\u0440\u0438", "\xD0\x9F\xD1\x80\xD0\xB8", true},
      {"astral pair", u"\U0001F600", "\xF0\x9F\x98\x80", true},
      {"lone high", u"a\xD83Dz", "a\xEF\xBF\xBDz", false},
      {"lone low", u"\xDE00", "\xEF\xBF\xBD", false},
      {"high at end", u"a\xD83D", "a\xEF\xBF\xBD", false},
  };
  for (const Case& c : cases) {
    int result = 0;
    EXPECT_EQ(ToUtf8(c.utf16, 0, &result), c.lenient) << c.name;
    SetLastError(0);
    ToUtf8(c.utf16, WC_ERR_INVALID_CHARS, &result);
    EXPECT_EQ(result > 0, c.valid) << c.name;
    if (!c.valid) {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    }
  }
}

TEST(CodePageTest, SizesAndBuffers) {
  // Size only: the NUL is counted and nothing is written.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xD0\x9F", -1, nullptr, 0), 2);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u041F", -1, nullptr, 0, nullptr, nullptr), 3);
  // An explicit length converts exactly that many units, no NUL added.
  wchar_t wide[4] = {L'x', L'x', L'x', L'x'};
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 2, wide, 4), 2);
  EXPECT_EQ(wide[2], L'x');
  // Too small: ERROR_INSUFFICIENT_BUFFER.
  char narrow[2] = {};
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"abc", -1, narrow, 2, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

// What a too small buffer and a refused character leave in the caller's buffer, and a text
// far longer than any small-buffer path.
TEST(CodePageTest, WhatTheOutputBufferReceives) {
  char narrow[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u041F\u0440", -1, narrow, 3, nullptr, nullptr), 0);
  EXPECT_EQ(std::string(narrow, 4), std::string("\xD0\x9F\xD1x"));
  wchar_t wide[3] = {L'x', L'x', L'x'};
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab\xF0\x9F\x98\x80", -1, wide, 3), 0);
  EXPECT_EQ(std::wstring(wide, 3), (std::wstring{L'a', L'b', static_cast<wchar_t>(0xD83D)}));

  const wchar_t refusedWide[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
  std::fill(narrow, narrow + 4, 'x');
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, refusedWide, -1, narrow, 4, nullptr,
                                nullptr),
            0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  EXPECT_EQ(std::string(narrow, 4), "xxxx");
  std::fill(wide, wide + 3, L'x');
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", -1, wide, 3), 0);
  EXPECT_EQ(std::wstring(wide, 3), L"xxx");

  std::string big;
  for (int i = 0; i < 100000; ++i) big += "Пример\xF0\x9F\x98\x80;";
  const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, big.c_str(), -1, nullptr, 0);
  ASSERT_EQ(units, 100000 * 9 + 1);
  std::vector<wchar_t> back(static_cast<std::size_t>(units));
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, big.c_str(), -1, back.data(), units),
            units);
  const int bytes = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, back.data(), -1, nullptr, 0,
                                        nullptr, nullptr);
  std::string again(static_cast<std::size_t>(bytes), '\0');
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, back.data(), -1, again.data(), bytes,
                                nullptr, nullptr),
            bytes);
  EXPECT_EQ(again, big + '\0');
}

TEST(CodePageTest, InvalidArguments) {
  wchar_t wide[4];
  char narrow[4];
  BOOL used = FALSE;
  const struct {
    const char* name;
    int result;
  } calls[] = {
      {"other code page", MultiByteToWideChar(1251, 0, "a", -1, wide, 4)},
      {"unknown flag", MultiByteToWideChar(CP_UTF8, 0x1, "a", -1, wide, 4)},
      {"null input", MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, wide, 4)},
      {"empty input", MultiByteToWideChar(CP_UTF8, 0, "a", 0, wide, 4)},
      {"default char", WideCharToMultiByte(CP_UTF8, 0, L"a", -1, narrow, 4, "?", nullptr)},
      {"used default", WideCharToMultiByte(CP_UTF8, 0, L"a", -1, narrow, 4, nullptr, &used)},
  };
  for (const auto& call : calls) EXPECT_EQ(call.result, 0) << call.name;
  SetLastError(0);
  MultiByteToWideChar(CP_UTF8, 0, "a", -2, wide, 4);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
}  // namespace quillet::test
