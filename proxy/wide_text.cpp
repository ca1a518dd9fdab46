#include "proxy/wide_text.h"

#include <new>

#include "platform/win32.h"

namespace quillet::proxy {

Conversion wideToUtf8(const wchar_t* text, std::unique_ptr<char[]>* utf8) {
  const int size =
      WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return Conversion::kInvalidText;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[size]);
  if (!buffer) return Conversion::kOutOfMemory;
  if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, buffer.get(), size, nullptr,
                          nullptr) != size) {
    return Conversion::kInvalidText;
  }
  *utf8 = std::move(buffer);
  return Conversion::kDone;
}

Conversion utf8ToWide(const char* text, std::unique_ptr<wchar_t[]>* wide) {
  const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
  if (units <= 0) return Conversion::kInvalidText;
  std::unique_ptr<wchar_t[]> buffer(new (std::nothrow) wchar_t[units]);
  if (!buffer) return Conversion::kOutOfMemory;
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, buffer.get(), units) != units) {
    return Conversion::kInvalidText;
  }
  *wide = std::move(buffer);
  return Conversion::kDone;
}

}  // namespace quillet::proxy
