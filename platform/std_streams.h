// _setmode / _fileno: the C runtime's descriptor of a stream and its translation mode.
//
// Implemented: _fileno of any open stream; _setmode with _O_BINARY or _O_TEXT. Linux streams
// never translate line breaks, so both modes leave the stream as it is, and the mode returned
// as "previous" is always _O_BINARY.
// Errors (errno, as the C runtime sets it, not the last-error code): EBADF and -1 for a
// descriptor that is not open; EINVAL and -1 for any other mode value.
#pragma once

#include <cstdio>

#include "platform/api.h"

#define _O_TEXT 0x4000
#define _O_BINARY 0x8000

// Returns the descriptor of an open stream.
QUILLET_API int _fileno(std::FILE* stream);
// Sets the translation mode of descriptor fd to mode (_O_BINARY or _O_TEXT). Returns the
// previous mode, or -1 with errno EBADF (fd not open) or EINVAL (unknown mode).
QUILLET_API int _setmode(int fd, int mode);
