// Thumbprints between bytes and hex text through the system's crypt32 (Wine's here). Wine 8
// cannot parse CRYPT_STRING_HEX_ANY, the format the engine reads a typed thumbprint in, and
// reads CRYPT_STRING_HEX only as bare digits (no separators, no line breaks): the spellings
// a user types, the system's own text read back, and HEX_ANY's refusals stay with the Linux
// set. What runs here is the rendering and its failure, and decoding bare digits with
// CRYPT_STRING_HEX (the size query, then the bytes) and its refusals.
#include <gtest/gtest.h>

#include <cstdlib>

#include "host/certs/binary_text.h"
#include "host/result_codes.h"
#include "tests/win/gtest/win_test_support.h"

namespace quillet::wintest {

using namespace quillet::host;
namespace {

class BinaryTextWinTest : public testing::Test {
 protected:
  // Decodes with `flags`; returns the code and the bytes (freed here).
  int Decode(const std::wstring& text, DWORD flags, Bytes* bytes) {
    BYTE* buffer = reinterpret_cast<BYTE*>(&buffer);  // must be replaced or cleared
    DWORD size = 0;
    const int code = StringToBinary(text, flags, &buffer, &size);
    if (code == Ok) {
      bytes->assign(buffer, buffer + size);
    } else {
      EXPECT_EQ(buffer, nullptr) << "a failure hands out no buffer";
    }
    std::free(code == Ok ? buffer : nullptr);
    return code;
  }

  TraceLog log_;
};

// The hex digits of a rendered text, without its blanks and line breaks.
std::wstring bareDigits(const std::wstring& text) {
  std::wstring digits;
  for (wchar_t c : text) {
    if (c != L' ' && c != L'\r' && c != L'\n') digits += c;
  }
  return digits;
}

Bytes counting(BYTE count) {
  Bytes bytes;
  for (BYTE b = 0; b < count; ++b) bytes.push_back(b);
  return bytes;
}

TEST_F(BinaryTextWinTest, RendersTheSystemsHexTextAndReadsItBack) {
  const Bytes twenty = counting(20);
  std::wstring text = L"replaced on success";
  ASSERT_EQ(BinaryToString(twenty.data(), 20, &text), Ok);
  EXPECT_EQ(text, L"00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f\r\n10 11 12 13\r\n");
  Bytes back;
  ASSERT_EQ(Decode(bareDigits(text), CRYPT_STRING_HEX, &back), Ok);
  EXPECT_EQ(back, twenty);

  // A real thumbprint, as the engine renders a chosen certificate's.
  const Bytes der = certificateFile("gost2012-256.cer");
  BYTE hash[20] = {};
  DWORD size = sizeof hash;
  ASSERT_TRUE(CryptHashCertificate(0, CALG_SHA1, 0, der.data(), static_cast<DWORD>(der.size()),
                                   hash, &size));
  ASSERT_EQ(BinaryToString(hash, size, &text), Ok);
  ASSERT_EQ(text.size(), 63u);
  ASSERT_EQ(Decode(bareDigits(text), CRYPT_STRING_HEX, &back), Ok);
  EXPECT_EQ(back, Bytes(hash, hash + 20));
  EXPECT_EQ(log_.Lines(), Lines());
}

TEST_F(BinaryTextWinTest, RenderingFailureIsTracedWithTheSystemsErrorAndLeavesTheTextAlone) {
  std::wstring text = L"unchanged";
  EXPECT_EQ(BinaryToString(nullptr, 20, &text), CryptoApiCallFailed);
  EXPECT_EQ(text, L"unchanged");
  const Lines lines = log_.Lines();
  ASSERT_EQ(lines.size(), 2u) << testing::PrintToString(lines);
  EXPECT_EQ(lines[0], "ERROR=1002 (CryptBinaryToString failed)");
  EXPECT_EQ(lines[1].rfind("\tGetLastError(00000057h): ", 0), 0u) << lines[1];
}

TEST_F(BinaryTextWinTest, RefusedTextIs1002WithNoBufferLeft) {
  const std::wstring refused[] = {L"3a4b5x", L"3a4", L"\u0421\u0410"};
  for (const std::wstring& text : refused) {
    SCOPED_TRACE(testing::Message() << text);
    log_.Clear();
    Bytes bytes;
    EXPECT_EQ(Decode(text, CRYPT_STRING_HEX, &bytes), CryptoApiCallFailed);
    const Lines lines = log_.Lines();
    ASSERT_EQ(lines.size(), 2u) << testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "ERROR=1002 (CryptStringToBinary failed)");
    EXPECT_EQ(lines[1].rfind("\tGetLastError(0000000dh): ", 0), 0u) << lines[1];
  }
}

}  // namespace
}  // namespace quillet::wintest
