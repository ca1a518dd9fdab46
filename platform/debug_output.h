// OutputDebugStringA: text for an attached debugger.
//
// On Linux the debugger is stood in for by a file: when the environment variable
// QUILLET_DEBUG_OUTPUT names one, each call appends one record to it, the text's bytes
// followed by one line feed, in a single write, so that records of several processes never
// interleave. The file is created readable and writable by its owner only. Without the
// variable, or when the file cannot be written, the text is dropped, as on Windows without a
// debugger. The call sets no error code and leaves errno and the last-error code unchanged.
#pragma once

#include "platform/api.h"
#include "platform/win_types.h"

// Hands a NUL-terminated narrow text to the debugger output. A null text is ignored.
QUILLET_API void OutputDebugStringA(LPCSTR text);

// IsDebuggerPresent: TRUE when a debugger reads the debugger output, that is when
// QUILLET_DEBUG_OUTPUT names a file (whether or not it can be written); FALSE otherwise.
// Sets no error code.
QUILLET_API BOOL IsDebuggerPresent(void);
