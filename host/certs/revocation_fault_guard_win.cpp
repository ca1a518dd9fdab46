// MinGW GCC has no __try/__except: a vectored exception handler, registered for the query's
// duration, sees the exceptions first and jumps back for the one the filter absorbs.
#include <setjmp.h>

#include <mutex>

#include "host/certs/revocation_fault_filter.h"
#include "host/certs/revocation_fault_guard.h"

namespace quillet::host {

namespace {

constexpr DWORD kSeverityMask = 0xC0000000;
constexpr DWORD kSeverityError = 0xC0000000;
constexpr DWORD kCustomerBit = 0x20000000;

// The guard of the query running on this thread.
struct ActiveGuard {
  jmp_buf jump;
};

thread_local ActiveGuard* activeGuard = nullptr;
std::mutex oneQueryAtATime;

// Faults are system exceptions of error severity: not software-defined ones (C++
// exceptions, for one) and not the informational ones the system raises and handles
// itself (debugger output, thread names).
bool isSystemFault(DWORD code) {
  return (code & kSeverityMask) == kSeverityError && (code & kCustomerBit) == 0;
}

LONG CALLBACK onException(PEXCEPTION_POINTERS pointers) {
  ActiveGuard* guard = activeGuard;
  const DWORD code = pointers->ExceptionRecord->ExceptionCode;
  if (guard == nullptr || !isSystemFault(code)) return EXCEPTION_CONTINUE_SEARCH;
  if (!revocationFaultFilter(code)) return EXCEPTION_CONTINUE_SEARCH;
  activeGuard = nullptr;
  longjmp(guard->jump, 1);
}

// Registers the guard's handler first in line, from construction to destruction.
class GuardHandler {
 public:
  GuardHandler() : handle_(AddVectoredExceptionHandler(/*First=*/1, &onException)) {}
  ~GuardHandler() {
    if (handle_ != nullptr) RemoveVectoredExceptionHandler(handle_);
  }
  GuardHandler(const GuardHandler&) = delete;
  GuardHandler& operator=(const GuardHandler&) = delete;

 private:
  PVOID handle_;
};

// Runs the query with the guard armed; false when an absorbed fault ended it.
bool runArmed(ActiveGuard* guard, RevocationQuery query, PCCERT_CONTEXT certificate,
              PCERT_REVOCATION_STATUS status, BOOL* verdict) {
  if (setjmp(guard->jump) != 0) return false;
  activeGuard = guard;
  try {
    *verdict = query(certificate, status);
  } catch (...) {
    activeGuard = nullptr;
    throw;
  }
  activeGuard = nullptr;
  return true;
}

}  // namespace

GuardedQueryEnd runRevocationQueryGuarded(RevocationQuery query, PCCERT_CONTEXT certificate,
                                          PCERT_REVOCATION_STATUS status, BOOL* verdict) {
  std::lock_guard<std::mutex> lock(oneQueryAtATime);
  ActiveGuard guard;
  bool returned = false;
  {
    const GuardHandler handler;
    returned = runArmed(&guard, query, certificate, status, verdict);
  }
  return returned ? GuardedQueryEnd::kReturned : GuardedQueryEnd::kFaultAbsorbed;
}

}  // namespace quillet::host
