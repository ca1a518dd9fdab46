// The fault guard around the revocation query: a fault raised inside the query is offered
// to revocationFaultFilter; one it absorbs abandons the query, any other travels on.
//
// Linux: faults are the signals SIGSEGV (EXCEPTION_ACCESS_VIOLATION), SIGBUS
// (EXCEPTION_IN_PAGE_ERROR), SIGILL (EXCEPTION_ILLEGAL_INSTRUCTION) and SIGFPE
// (EXCEPTION_INT_DIVIDE_BY_ZERO) raised by the processor on the calling thread while the
// query runs. The guard's handler is installed for the query's duration only and jumps back
// (siglongjmp) for those alone; the same signals on other threads or sent by kill/raise go
// to the handler that was there before, as if the guard were not. The filter runs after the
// jump, on the caller's stack; a fault it does not absorb is raised again with the earlier
// handler back in place, and the process aborts should that handler return.
// Windows: a vectored exception handler with the same contract, for exceptions of error
// severity raised by the system on the calling thread while the query runs.
//
// An abandoned query's own resources are not released (its frames are left, not unwound).
// Guarded queries run one at a time in the process.
#pragma once

#include "host/certs/revocation_query.h"
#include "platform/win32.h"

namespace quillet::host {

// How a guarded query ended.
enum class GuardedQueryEnd {
  kReturned,       // the query returned; *verdict holds its result
  kFaultAbsorbed,  // an access violation inside it was absorbed; *verdict is untouched
};

// Runs query(certificate, status) under the fault guard.
GuardedQueryEnd runRevocationQueryGuarded(RevocationQuery query, PCCERT_CONTEXT certificate,
                                          PCERT_REVOCATION_STATUS status, BOOL* verdict);

}  // namespace quillet::host
