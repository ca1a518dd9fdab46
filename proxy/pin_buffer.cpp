#include "proxy/pin_buffer.h"

namespace quillet::proxy {

PinBuffer::~PinBuffer() { wipe(); }

bool PinBuffer::assign(const wchar_t* password) {
  wipe();
  for (int i = 0; i < kMaxLength && password[i] != L'\0'; ++i) {
    const auto unit = static_cast<char16_t>(password[i]);
    if (unit >= 0x80) {
      wipe();
      return false;
    }
    bytes_[i] = static_cast<BYTE>(unit);
  }
  return true;
}

void PinBuffer::wipe() {
  volatile BYTE* bytes = bytes_;
  for (int i = 0; i < kSize; ++i) bytes[i] = 0;
}

}  // namespace quillet::proxy
