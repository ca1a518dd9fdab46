#include "platform/secure_zero.h"

#include <openssl/crypto.h>

PVOID SecureZeroMemory(PVOID block, std::size_t size) {
  if (block != nullptr && size != 0) OPENSSL_cleanse(block, size);
  return block;
}
