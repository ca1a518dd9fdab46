// FormatMessageW from the system table: allocated and caller buffers, and its failures.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32.h"

namespace quillet::test {
namespace {

constexpr DWORD kFromSystem = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
constexpr DWORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);

// Returns FormatMessageW's allocated text for code, or nullopt-like "<failed N>".
std::wstring allocatedText(DWORD code) {
  LPWSTR text = nullptr;
  DWORD length = FormatMessageW(kFromSystem | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
                                kNeutral, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  if (length == 0) return L"<failed " + std::to_wstring(GetLastError()) + L">";
  std::wstring result(text, length);
  EXPECT_EQ(text[length], L'\0');
  EXPECT_EQ(LocalFree(text), nullptr);
  return result;
}

TEST(FormatMessageW, GivesTheWindowsTextsEndingInCrLf) {
  EXPECT_EQ(kNeutral, 0x400);
  const std::pair<DWORD, const wchar_t*> cases[] = {
      {2, L"The system cannot find the file specified.\r\n"},
      {5, L"Access is denied.\r\n"},
      {126, L"The specified module could not be found.\r\n"},
      {0x80092004, L"Cannot find object or property.\r\n"},
      {0x80092012,
       L"The revocation function was unable to check revocation for the certificate.\r\n"},
      {0x8010006B, L"The card cannot be accessed because the wrong PIN was presented.\r\n"},
      {317,
       L"The system cannot find message text for message number 0x%1 in the message file for "
       L"%2.\r\n"},
  };
  for (const auto& [code, text] : cases) {
    SCOPED_TRACE(code);
    EXPECT_EQ(allocatedText(code), text);
  }
}

TEST(FormatMessageW, FailsWithMessageNotFoundForAnUnknownCode) {
  SetLastError(0);
  EXPECT_EQ(allocatedText(0x7FFF1234), L"<failed 317>");
}

TEST(FormatMessageW, WritesIntoTheCallersBufferWhenItIsLargeEnough) {
  const std::wstring expected = L"Access is denied.\r\n";
  WCHAR buffer[64];
  SetLastError(99);
  EXPECT_EQ(FormatMessageW(kFromSystem, nullptr, 5, 0, buffer, 64, nullptr), expected.size());
  EXPECT_EQ(std::wstring(buffer), expected);
  EXPECT_EQ(GetLastError(), 99u);

  DWORD exact = static_cast<DWORD>(expected.size() + 1);
  EXPECT_EQ(FormatMessageW(kFromSystem, nullptr, 5, 0, buffer, exact, nullptr), exact - 1);
  EXPECT_EQ(FormatMessageW(kFromSystem, nullptr, 5, 0, buffer, exact - 1, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(FormatMessageW, RefusesWhatItDoesNotImplement) {
  WCHAR buffer[64];
  const DWORD unsupported[] = {FORMAT_MESSAGE_IGNORE_INSERTS, FORMAT_MESSAGE_FROM_STRING,
                               kFromSystem | FORMAT_MESSAGE_FROM_HMODULE};
  for (DWORD flags : unsupported) {
    SCOPED_TRACE(flags);
    SetLastError(0);
    EXPECT_EQ(FormatMessageW(flags, nullptr, 5, 0, buffer, 64, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  EXPECT_EQ(FormatMessageW(kFromSystem, nullptr, 5, 0, nullptr, 64, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(LocalAlloc, GivesFixedZeroedBlocksAndRefusesMovableOnes) {
  auto* block = static_cast<BYTE*>(LocalAlloc(LPTR, 16));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(block[i], 0);
  EXPECT_EQ(LocalFree(block), nullptr);
  EXPECT_EQ(LocalFree(nullptr), nullptr);
  SetLastError(0);
  EXPECT_EQ(LocalAlloc(0x0002 /*LMEM_MOVEABLE*/, 16), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
}  // namespace quillet::test
