// Exception codes of structured exception handling (the winbase.h names and values). On
// Linux nothing raises them: the revocation check's fault guard translates the fault
// signals it catches into them (SIGSEGV, SIGBUS, SIGILL, SIGFPE: see
// host/certs/revocation_fault_guard.h).
#pragma once

#include "platform/win_types.h"

#define EXCEPTION_ACCESS_VIOLATION ((DWORD)0xC0000005L)
#define EXCEPTION_IN_PAGE_ERROR ((DWORD)0xC0000006L)
#define EXCEPTION_ILLEGAL_INSTRUCTION ((DWORD)0xC000001DL)
#define EXCEPTION_INT_DIVIDE_BY_ZERO ((DWORD)0xC0000094L)
#define EXCEPTION_STACK_OVERFLOW ((DWORD)0xC00000FDL)
