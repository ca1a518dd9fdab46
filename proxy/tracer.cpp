#include "proxy/tracer.h"

namespace quillet::proxy {

void Tracer::line(const std::wstring& text, int code, DWORD systemError) const {
  if (callback_ != nullptr) callback_(text.c_str(), code, systemError);
}

std::wstring bytesAsWide(const char* text) {
  std::wstring wide;
  for (const char* p = text; p != nullptr && *p != '\0'; ++p) {
    wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
  }
  return wide;
}

}  // namespace quillet::proxy
