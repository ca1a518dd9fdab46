// The thumbprint conversions between bytes and hexadecimal text, on arbitrary text and
// bytes. The first byte chooses: bit 0 set renders the rest as text; clear, decodes the rest
// as text (UTF-16LE code units with bit 1, else UTF-8) in the format bits 2-4 pick. Whatever
// decodes must render and decode back to the same bytes, and whatever renders must decode
// back to the bytes it came from; a failure must hand out no buffer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/certs/binary_text.h"
#include "host/result_codes.h"
#include "tests/fuzz/fuzz_world.h"

namespace {

using namespace quillet::host;

using Bytes = std::vector<std::uint8_t>;

constexpr DWORD kFormats[] = {CRYPT_STRING_HEX,
                              CRYPT_STRING_HEX_ANY,
                              CRYPT_STRING_HEX | CRYPT_STRING_STRICT,
                              CRYPT_STRING_HEX_ANY | CRYPT_STRING_STRICT,
                              CRYPT_STRING_BASE64,
                              CRYPT_STRING_HEXRAW,
                              CRYPT_STRING_HEX | CRYPT_STRING_NOCR,
                              0x7fffffff};

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "binary_text: %s\n", what);
  std::abort();
}

// Decodes text; true with *bytes on success. Checks that a failure leaves no buffer.
bool decode(const std::wstring& text, DWORD flags, Bytes* bytes) {
  BYTE* buffer = reinterpret_cast<BYTE*>(&buffer);  // must be replaced or cleared
  DWORD size = 0;
  if (StringToBinary(text, flags, &buffer, &size) != Ok) {
    if (buffer != nullptr) fail("a refused text left a buffer");
    return false;
  }
  if (buffer == nullptr) fail("success without a buffer");
  bytes->assign(buffer, buffer + size);
  std::free(buffer);
  return true;
}

// Renders bytes, decodes the text again and checks that the same bytes come back.
void roundTrip(const Bytes& bytes) {
  static const BYTE none = 0;  // no bytes still come at an address, as the host's hash does
  std::wstring text;
  if (BinaryToString(bytes.empty() ? &none : bytes.data(), static_cast<DWORD>(bytes.size()),
                     &text) != Ok) {
    fail("bytes could not be rendered");
  }
  if (bytes.empty()) {
    if (!text.empty()) fail("no bytes rendered as text");
    return;
  }
  Bytes back;
  if (!decode(text, CRYPT_STRING_HEX, &back)) fail("rendered text does not decode");
  if (back != bytes) fail("rendered text decodes to other bytes");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quillet::fuzz::world();  // a HOME for the trace's log
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t how = data[0];
  if ((how & 1) != 0) {
    roundTrip(Bytes(data + 1, data + size));
    return 0;
  }
  std::wstring text;
  if ((how & 2) != 0) {
    for (std::size_t at = 1; at + 1 < size; at += 2) {
      text.push_back(static_cast<wchar_t>(data[at] | data[at + 1] << 8));
    }
  } else {
    text = quillet::test::Wide(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  }
  Bytes bytes;
  if (decode(text, kFormats[(how >> 2) & 7], &bytes)) roundTrip(bytes);
  return 0;
}
