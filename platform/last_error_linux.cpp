#include "platform/last_error.h"

namespace {
thread_local DWORD threadLastError = 0;
}  // namespace

DWORD GetLastError() { return threadLastError; }

void SetLastError(DWORD code) { threadLastError = code; }
