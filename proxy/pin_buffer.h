// The PIN as the key container receives it.
#pragma once

#include "platform/win32.h"

namespace quillet::proxy {

// 41 bytes, zero-filled, holding a password of at most 40 characters as narrow ASCII text,
// so that it always ends in a NUL. Wiped when destroyed.
class PinBuffer {
 public:
  // Bytes in the buffer, and the most that can come from the password.
  static constexpr int kSize = 41;
  static constexpr int kMaxLength = kSize - 1;

  PinBuffer() = default;
  PinBuffer(const PinBuffer&) = delete;
  PinBuffer& operator=(const PinBuffer&) = delete;
  ~PinBuffer();

  // What became of a password.
  enum class Fill {
    kFilled,    // the buffer holds the whole password
    kTooLong,   // more than kMaxLength characters: never cut to fit
    kNotAscii,  // a character the container's narrow "C" locale text cannot hold
  };

  // Fills the buffer with the password (NUL-terminated UTF-16). Anything but kFilled leaves
  // the buffer zero-filled.
  Fill assign(const wchar_t* password);

  // The NUL-terminated PIN.
  const BYTE* data() const { return bytes_; }

 private:
  // Sets every byte to 0 in a way the compiler cannot drop.
  void wipe();

  BYTE bytes_[kSize] = {};
};

}  // namespace quillet::proxy
