// The PIN as the key container receives it.
#pragma once

#include "platform/win32.h"

namespace quillet::proxy {

// 41 bytes, zero-filled, holding at most the first 40 characters of a password as narrow
// ASCII text, so that it always ends in a NUL. Wiped when destroyed.
class PinBuffer {
 public:
  // Bytes in the buffer, and the most that can come from the password.
  static constexpr int kSize = 41;
  static constexpr int kMaxLength = kSize - 1;

  PinBuffer() = default;
  PinBuffer(const PinBuffer&) = delete;
  PinBuffer& operator=(const PinBuffer&) = delete;
  ~PinBuffer();

  // Fills the buffer with the password's first 40 characters (NUL-terminated UTF-16).
  // Returns false, leaving the buffer zero-filled, when one of those characters is not
  // ASCII: the narrow "C" locale text that the container expects cannot hold it.
  bool assign(const wchar_t* password);

  // The NUL-terminated PIN.
  const BYTE* data() const { return bytes_; }

 private:
  // Sets every byte to 0 in a way the compiler cannot drop.
  void wipe();

  BYTE bytes_[kSize] = {};
};

}  // namespace quillet::proxy
