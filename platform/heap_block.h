// _msize: the C runtime's size of a block from its heap (malloc, calloc, realloc).
//
// Implemented: blocks of the C heap. The size returned may exceed the size asked for (it is
// what the block can hold); all of it belongs to the block. No error code is set.
#pragma once

#include <cstddef>

#include "platform/api.h"

// Returns the usable size of block, a live block of the C heap; 0 for NULL.
QUILLET_API std::size_t _msize(void* block);
