#include "host/certs/binary_text.h"

#include <cstdlib>
#include <new>
#include <vector>

#include "host/result_codes.h"
#include "host/scoped_capi.h"
#include "host/trace.h"

namespace quillet::host {

namespace {

// Traces the failed platform call with the error it left and returns 1002.
int platformRefused(const wchar_t* what) {
  const DWORD error = GetLastError();
  trace(what, CryptoApiCallFailed, error);
  return CryptoApiCallFailed;
}

}  // namespace

int BinaryToString(const BYTE* data, DWORD size, std::wstring* text) {
  DWORD length = 0;
  if (!CryptBinaryToStringW(data, size, CRYPT_STRING_HEX, nullptr, &length)) {
    return platformRefused(L"CryptBinaryToString failed");
  }
  std::vector<wchar_t> buffer;
  try {
    buffer.resize(length);
  } catch (const std::bad_alloc&) {
    return OutOfMemory;
  }
  if (!CryptBinaryToStringW(data, size, CRYPT_STRING_HEX, buffer.data(), &length)) {
    return platformRefused(L"CryptBinaryToString failed");
  }
  text->assign(buffer.data(), length);
  return Ok;
}

int StringToBinary(std::wstring text, DWORD flags, BYTE** bytes, DWORD* size) {
  *bytes = nullptr;
  const auto length = static_cast<DWORD>(text.size());
  if (!CryptStringToBinaryW(text.c_str(), length, flags, nullptr, size, nullptr, nullptr)) {
    return platformRefused(L"CryptStringToBinary failed");
  }
  // A sizing call may report 0 bytes; malloc(0) may then give NULL, which is no shortage.
  ScopedMallocBlock<BYTE> buffer(static_cast<BYTE*>(std::malloc(*size != 0 ? *size : 1)));
  if (buffer == nullptr) return OutOfMemory;
  if (!CryptStringToBinaryW(text.c_str(), length, flags, buffer.get(), size, nullptr, nullptr)) {
    return platformRefused(L"CryptStringToBinary failed");
  }
  *bytes = buffer.release();
  return Ok;
}

}  // namespace quillet::host
