#include "platform/local_memory.h"

#include <cstdlib>

#include "platform/last_error.h"

HLOCAL LocalAlloc(UINT flags, std::size_t size) {
  if ((flags & ~static_cast<UINT>(LMEM_ZEROINIT)) != LMEM_FIXED) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::size_t bytes = size == 0 ? 1 : size;
  void* block = (flags & LMEM_ZEROINIT) ? std::calloc(1, bytes) : std::malloc(bytes);
  if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

HLOCAL LocalFree(HLOCAL block) {
  std::free(block);
  return nullptr;
}
