// LocalAlloc / LocalFree: the local heap that system calls allocate their results from
// (FormatMessageW with FORMAT_MESSAGE_ALLOCATE_BUFFER, ...) and that callers release.
//
// Implemented: LMEM_FIXED and LPTR (fixed, LPTR zero-filled) blocks; no movable memory.
// Errors: LocalAlloc with any other flag fails with ERROR_INVALID_PARAMETER, out of memory
// with ERROR_NOT_ENOUGH_MEMORY. LocalFree of NULL does nothing and succeeds.
#pragma once

#include "platform/api.h"
#include "platform/win_types.h"

#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

// Allocates a fixed block of size bytes (at least one byte is reserved for size 0). Returns
// the block, or NULL with the last-error code set.
QUILLET_API HLOCAL LocalAlloc(UINT flags, std::size_t size);
// Releases a block from LocalAlloc. Returns NULL (success).
QUILLET_API HLOCAL LocalFree(HLOCAL block);
