#include "proxy/pin_buffer.h"

namespace quillet::proxy {

PinBuffer::~PinBuffer() { wipe(); }

PinBuffer::Fill PinBuffer::assign(const wchar_t* password) {
  wipe();
  int length = 0;
  for (; password[length] != L'\0'; ++length) {
    if (static_cast<unsigned long>(password[length]) >= 0x80) return Fill::kNotAscii;
    if (length == kMaxLength) return Fill::kTooLong;
  }
  for (int i = 0; i < length; ++i) bytes_[i] = static_cast<BYTE>(password[i]);
  return Fill::kFilled;
}

void PinBuffer::wipe() {
  volatile BYTE* bytes = bytes_;
  for (int i = 0; i < kSize; ++i) bytes[i] = 0;
}

}  // namespace quillet::proxy
