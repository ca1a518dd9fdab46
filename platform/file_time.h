// FILETIME: a time as 100-nanosecond intervals since 1601-01-01 00:00 UTC, split in two
// 32-bit halves, as Windows keeps it. GetSystemTimeAsFileTime reads the system clock.
#pragma once

#include "platform/api.h"
#include "platform/win_types.h"

typedef struct _FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;

// Fills *lpSystemTimeAsFileTime with the current UTC time. Never fails.
QUILLET_API void WINAPI GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime);
