// GetLastError / SetLastError: the calling thread's last-error code, one value shared by
// every module of the process (host, signature library, dialog library), as on Windows.
// The stand-ins of this library set it the way the Windows calls do; a call that
// succeeds leaves it as it was unless its Windows original documents otherwise.
#pragma once

#include "platform/api.h"
#include "platform/win_types.h"

// Returns the calling thread's last-error code.
QUILLET_API DWORD GetLastError();
// Sets the calling thread's last-error code.
QUILLET_API void SetLastError(DWORD code);

// Error codes the stand-ins set (values as on Windows).
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_DATA 13L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_MORE_DATA 234L
#define ERROR_MR_MID_NOT_FOUND 317L
