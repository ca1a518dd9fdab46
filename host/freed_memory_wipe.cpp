// The host's operator new and operator delete: every block released through operator delete
// is overwritten with zeros first. A request's PIN passes through copies that the host does
// not own (the JSON library's token buffers, a string's old buffer after it grew, an
// exception's text); wiping every released block leaves none of them behind in the freed
// memory of a host that the browser keeps running. Part of the program only (not of the
// host's library), so that every module of the process uses these operators.
#include <cstdlib>
#include <new>

#include "platform/win32.h"

namespace {

// Allocates size bytes from the C heap, asking the new-handler for memory as the standard
// operator does. Returns null only when there is no new-handler.
void* allocate(std::size_t size) noexcept {
  if (size == 0) size = 1;
  for (;;) {
    if (void* block = std::malloc(size)) return block;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) return nullptr;
    handler();
  }
}

void* allocateOrThrow(std::size_t size) {
  void* block = allocate(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

// Wipes the whole block (what the heap gave, not only what was asked for) and frees it.
void release(void* block) noexcept {
  if (block == nullptr) return;
  SecureZeroMemory(block, _msize(block));
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return allocateOrThrow(size); }
void* operator new[](std::size_t size) { return allocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }

void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, std::size_t) noexcept { release(block); }
void operator delete[](void* block, std::size_t) noexcept { release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { release(block); }
