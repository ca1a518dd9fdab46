// CryptBinaryToStringW / CryptStringToBinaryW against the Windows behaviour they stand in for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32.h"

namespace quillet::test {
namespace {

std::vector<BYTE> Sequence(int count) {
  std::vector<BYTE> bytes;
  for (int i = 0; i < count; ++i) bytes.push_back(static_cast<BYTE>(i));
  return bytes;
}

// Renders bytes with the two-call pattern the host uses; false when a call fails.
bool Render(const std::vector<BYTE>& bytes, DWORD flags, std::wstring* text) {
  static const BYTE kNothing = 0;  // a valid pointer for zero bytes
  const BYTE* data = bytes.empty() ? &kNothing : bytes.data();
  const auto count = static_cast<DWORD>(bytes.size());
  DWORD size = 0;
  if (!CryptBinaryToStringW(data, count, flags, nullptr, &size)) return false;
  std::wstring buffer(size, L'#');
  DWORD written = size;
  if (!CryptBinaryToStringW(data, count, flags, buffer.data(), &written)) {
    return false;
  }
  EXPECT_EQ(written + 1, size);
  EXPECT_EQ(buffer[written], L'\0');
  *text = buffer.substr(0, written);
  return true;
}

TEST(CryptBinaryToString, RendersHexLayoutsOfTheSystem) {
  const struct {
    int count;
    DWORD flags;
    const wchar_t* text;
  } cases[] = {
      {20, CRYPT_STRING_HEX,
       L"00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f\r\n10 11 12 13\r\n"},
      {16, CRYPT_STRING_HEX, L"00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f\r\n"},
      {9, CRYPT_STRING_HEX, L"00 01 02 03 04 05 06 07  08\r\n"},
      {1, CRYPT_STRING_HEX, L"00\r\n"},
      {0, CRYPT_STRING_HEX, L""},
      {18, CRYPT_STRING_HEX | CRYPT_STRING_NOCR,
       L"00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f\n10 11\n"},
      {18, CRYPT_STRING_HEX | CRYPT_STRING_NOCRLF,
       L"00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10 11"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.count << " bytes, flags " << std::hex << c.flags);
    std::wstring text;
    ASSERT_TRUE(Render(Sequence(c.count), c.flags, &text));
    EXPECT_EQ(text, c.text);
  }
}

TEST(CryptBinaryToString, ReportsSizesAndRefusesWhatItCannotDo) {
  const std::vector<BYTE> bytes = Sequence(20);
  DWORD size = 0;
  ASSERT_TRUE(CryptBinaryToStringW(bytes.data(), 20, CRYPT_STRING_HEX, nullptr, &size));
  EXPECT_EQ(size, 64u);

  wchar_t small[63];
  DWORD small_size = 63;  // room for the text but not its NUL
  SetLastError(0);
  EXPECT_FALSE(CryptBinaryToStringW(bytes.data(), 20, CRYPT_STRING_HEX, small, &small_size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));

  SetLastError(0);
  EXPECT_FALSE(CryptBinaryToStringW(nullptr, 20, CRYPT_STRING_HEX, nullptr, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  SetLastError(0);
  EXPECT_FALSE(CryptBinaryToStringW(bytes.data(), 20, CRYPT_STRING_BASE64, nullptr, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(CryptStringToBinary, DecodesEverySpellingOfHexBytes) {
  const struct {
    const wchar_t* text;
    DWORD flags;
    std::vector<BYTE> bytes;
  } cases[] = {
      {L"00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f\r\n10 11 12 13\r\n", CRYPT_STRING_HEX,
       Sequence(20)},
      {L"000102030405060708090a0b0c0d0e0f10111213", CRYPT_STRING_HEX_ANY, Sequence(20)},
      {L"AB cd Ef", CRYPT_STRING_HEX_ANY, {0xAB, 0xCD, 0xEF}},
      {L"\t ab-cd,ef\n", CRYPT_STRING_HEX, {0xAB, 0xCD, 0xEF}},
      {L"abcd", CRYPT_STRING_HEX | CRYPT_STRING_STRICT, {0xAB, 0xCD}},
      {L"   ", CRYPT_STRING_HEX_ANY, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "text \"" << c.text << "\"");
    const std::wstring text = c.text;
    DWORD size = 0;
    ASSERT_TRUE(CryptStringToBinaryW(text.c_str(), static_cast<DWORD>(text.size()), c.flags,
                                     nullptr, &size, nullptr, nullptr));
    ASSERT_EQ(size, c.bytes.size());
    std::vector<BYTE> out(size + 4, 0xEE);
    DWORD capacity = static_cast<DWORD>(out.size());
    DWORD skip = 99;
    DWORD used = 99;
    ASSERT_TRUE(CryptStringToBinaryW(text.c_str(), static_cast<DWORD>(text.size()), c.flags,
                                     out.data(), &capacity, &skip, &used));
    EXPECT_EQ(capacity, c.bytes.size());
    EXPECT_EQ(std::vector<BYTE>(out.begin(), out.begin() + capacity), c.bytes);
    EXPECT_EQ(out[capacity], 0xEE) << "wrote past the bytes it reported";
    EXPECT_EQ(skip, 0u);
    EXPECT_EQ(used, static_cast<DWORD>(CRYPT_STRING_HEX));
  }
}

TEST(CryptStringToBinary, RefusesTextThatIsNotHex) {
  const wchar_t* const invalid[] = {L"abc", L"ab c", L"ab:cd", L"0g", L"ab\u0430b", L"0x12"};
  for (const wchar_t* text : invalid) {
    SCOPED_TRACE(testing::Message() << "text \"" << text << "\"");
    DWORD size = 77;
    ASSERT_TRUE(
        CryptStringToBinaryW(text, 0, CRYPT_STRING_HEX_ANY, nullptr, &size, nullptr, nullptr));
    EXPECT_EQ(size, 0u) << "a sizing call on invalid text reports no bytes";
    BYTE out[8];
    DWORD capacity = sizeof out;
    SetLastError(0);
    EXPECT_FALSE(
        CryptStringToBinaryW(text, 0, CRYPT_STRING_HEX_ANY, out, &capacity, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
  }
}

TEST(CryptStringToBinary, ChecksLengthBufferAndArguments) {
  // Only the first cchString characters count; the rest would be invalid.
  BYTE out[2] = {};
  DWORD capacity = 2;
  ASSERT_TRUE(
      CryptStringToBinaryW(L"abcdZZ", 4, CRYPT_STRING_HEX, out, &capacity, nullptr, nullptr));
  EXPECT_EQ(capacity, 2u);
  EXPECT_EQ(out[1], 0xCD);

  capacity = 1;
  SetLastError(0);
  EXPECT_FALSE(
      CryptStringToBinaryW(L"abcd", 0, CRYPT_STRING_HEX, out, &capacity, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
  EXPECT_EQ(capacity, 2u);

  const struct {
    LPCWSTR text;
    DWORD flags;
    DWORD* size;
  } refused[] = {
      {L"", CRYPT_STRING_HEX, &capacity},
      {nullptr, CRYPT_STRING_HEX, &capacity},
      {L"ab", CRYPT_STRING_HEX, nullptr},
      {L"ab", CRYPT_STRING_BASE64, &capacity},
  };
  for (const auto& c : refused) {
    SetLastError(0);
    EXPECT_FALSE(CryptStringToBinaryW(c.text, 0, c.flags, nullptr, c.size, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
}

}  // namespace
}  // namespace quillet::test
