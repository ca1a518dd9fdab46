// SecureZeroMemory: overwriting memory that held a secret (a PIN) with zeros, in a way the
// compiler cannot drop as a store to memory that is about to be released.
//
// Implemented: any block of memory the caller may write. The call has no failure and sets
// no error code. Returns the block, as the Windows macro does.
#pragma once

#include <cstddef>

#include "platform/api.h"
#include "platform/win_types.h"

// Sets size bytes at block to zero and returns block. A null block with size 0 does nothing.
QUILLET_API PVOID SecureZeroMemory(PVOID block, std::size_t size);
