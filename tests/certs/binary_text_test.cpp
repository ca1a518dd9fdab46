// Thumbprints between bytes and hex text: the round trip, the spellings a user types, and
// refused text with its code and trace line (and no buffer left behind).
#include "host/certs/binary_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host/result_codes.h"
#include "tests/certs/trace_log.h"
#include "tests/support/test_pki.h"
#include "tests/support/test_stores.h"

namespace quillet::test {

using namespace quillet::host;
namespace {

using Lines = std::vector<std::string>;

class BinaryTextTest : public testing::Test {
 protected:
  // Decodes with CRYPT_STRING_HEX_ANY; returns the code and the bytes (freed here).
  int Decode(const std::wstring& text, Bytes* bytes) {
    BYTE* buffer = reinterpret_cast<BYTE*>(&buffer);  // must be replaced or cleared
    DWORD size = 0;
    const int code = StringToBinary(text, CRYPT_STRING_HEX_ANY, &buffer, &size);
    if (code == Ok) {
      bytes->assign(buffer, buffer + size);
    } else {
      EXPECT_EQ(buffer, nullptr) << "a failure hands out no buffer";
    }
    std::free(code == Ok ? buffer : nullptr);
    return code;
  }

  TestStores stores_;
  TraceLog log_{stores_.home()};
};

TEST_F(BinaryTextTest, ThumbprintRoundTrip) {
  const Bytes hash = TestPki().issue(CertOptions()).sha1();
  ASSERT_EQ(hash.size(), 20u);
  std::wstring text = L"left alone on failure only";
  ASSERT_EQ(BinaryToString(hash.data(), 20, &text), Ok);
  EXPECT_EQ(text.size(), 63u);
  EXPECT_EQ(text.substr(61), L"\r\n") << "the platform's line breaks are kept";
  EXPECT_EQ(text[23], L' ');
  EXPECT_EQ(text[24], L' ') << "two blanks after the 8th byte";
  Bytes back;
  ASSERT_EQ(Decode(text, &back), Ok);
  EXPECT_EQ(back, hash);
  EXPECT_EQ(log_.Lines(), Lines());
}

TEST_F(BinaryTextTest, RendersExactlyWhatThePlatformWrites) {
  const Bytes bytes = {0x00, 0xAB, 0x7F};
  std::wstring text;
  ASSERT_EQ(BinaryToString(bytes.data(), 3, &text), Ok);
  EXPECT_EQ(text, L"00 ab 7f\r\n");
}

TEST_F(BinaryTextTest, AcceptsTheSpellingsOfATypedThumbprint) {
  const Bytes expected = {0x3a, 0x4b, 0x5c, 0x6d, 0x7e, 0x8f, 0x90, 0xa1, 0xb2, 0xc3,
                          0xd4, 0xe5, 0xf6, 0x07, 0x18, 0x29, 0x3a, 0x4b, 0x5c, 0x6d};
  const std::wstring spellings[] = {
      L"3a4b5c6d7e8f90a1b2c3d4e5f60718293a4b5c6d",
      L"3A4B5C6D7E8F90A1B2C3D4E5F60718293A4B5C6D",
      L"3a 4b 5c 6d 7e 8f 90 a1 b2 c3 d4 e5 f6 07 18 29 3a 4b 5c 6d",
      L" 3a4b 5c6d\t7e8f90a1b2c3d4e5f60718293a4b5c6d\r\n",
  };
  for (const std::wstring& text : spellings) {
    SCOPED_TRACE(testing::Message() << text);
    Bytes bytes;
    ASSERT_EQ(Decode(text, &bytes), Ok);
    EXPECT_EQ(bytes, expected);
  }
}

TEST_F(BinaryTextTest, RefusesForeignCharactersWith1002AndThePlatformError) {
  const std::wstring refused[] = {
      L"3a4b5c6d7e8f90a1b2c3d4e5f60718293a4b5c6x", L"3a:4b:5c",
      L"3a4b5c6d7e8f90a1b2c3d4e5f60718293a4b5c6",  // odd number of digits
      L"\u0421\u0410\u0412",                       // Cyrillic look-alikes of hex letters
  };
  for (const std::wstring& text : refused) {
    SCOPED_TRACE(testing::Message() << text);
    log_.Clear();
    Bytes bytes;
    EXPECT_EQ(Decode(text, &bytes), CryptoApiCallFailed);
    EXPECT_EQ(log_.Lines(), Lines({"ERROR=1002 (CryptStringToBinary failed)",
                                   "\tGetLastError(0000000dh): The data is invalid.\r", ""}));
  }
  log_.Clear();
  Bytes bytes;
  EXPECT_EQ(Decode(L"", &bytes), CryptoApiCallFailed);
  EXPECT_EQ(log_.Lines(), Lines({"ERROR=1002 (CryptStringToBinary failed)",
                                 "\tGetLastError(00000057h): The parameter is incorrect.\r", ""}));
}

TEST_F(BinaryTextTest, RenderingFailureIsTracedAndLeavesTheTextAlone) {
  std::wstring text = L"unchanged";
  EXPECT_EQ(BinaryToString(nullptr, 20, &text), CryptoApiCallFailed);
  EXPECT_EQ(text, L"unchanged");
  EXPECT_EQ(log_.Lines(), Lines({"ERROR=1002 (CryptBinaryToString failed)",
                                 "\tGetLastError(00000057h): The parameter is incorrect.\r", ""}));
}

}  // namespace
}  // namespace quillet::test
