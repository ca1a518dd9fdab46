#include "platform/heap_block.h"

#include <malloc.h>

std::size_t _msize(void* block) { return block == nullptr ? 0 : malloc_usable_size(block); }
