#include "platform/secure_zero.h"

#include <string.h>

// glibc's explicit_bzero: a wipe the compiler may not drop, without loading libcrypto (the
// host wipes every block it frees, long before any certificate is touched).
PVOID SecureZeroMemory(PVOID block, std::size_t size) {
  if (block != nullptr && size != 0) explicit_bzero(block, size);
  return block;
}
