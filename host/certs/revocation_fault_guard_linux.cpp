#include <setjmp.h>
#include <signal.h>

#include <cstdlib>
#include <mutex>

#include "host/certs/revocation_fault_filter.h"
#include "host/certs/revocation_fault_guard.h"

namespace quillet::host {

namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};
constexpr int kFaultSignalCount = sizeof kFaultSignals / sizeof kFaultSignals[0];

// The guard of the query running on this thread.
struct ActiveGuard {
  sigjmp_buf jump;
  volatile sig_atomic_t signal = 0;
};

thread_local ActiveGuard* activeGuard = nullptr;
// The handlers in place before the guard's, while a guarded query runs.
struct sigaction previousActions[kFaultSignalCount];
std::mutex oneQueryAtATime;

int slotOf(int signal) {
  for (int i = 0; i < kFaultSignalCount; ++i) {
    if (kFaultSignals[i] == signal) return i;
  }
  return 0;
}

// Hands a signal that is not the guard's to the handler that was there before. A fault
// raised again after this returns meets the restored default action.
void passOn(int signal, siginfo_t* info, void* context) {
  const struct sigaction& previous = previousActions[slotOf(signal)];
  const bool sent = info == nullptr || info->si_code <= 0;
  if (previous.sa_flags & SA_SIGINFO) {
    previous.sa_sigaction(signal, info, context);
  } else if (previous.sa_handler == SIG_IGN && sent) {
    return;
  } else if (previous.sa_handler == SIG_DFL || previous.sa_handler == SIG_IGN) {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    if (sent) raise(signal);  // delivered once this handler returns
  } else {
    previous.sa_handler(signal);
  }
}

// Jumps back into the guard for a fault of the processor on the guarded thread; passes
// everything else on.
void onFaultSignal(int signal, siginfo_t* info, void* context) {
  ActiveGuard* guard = activeGuard;
  if (guard != nullptr && info != nullptr && info->si_code > 0) {
    activeGuard = nullptr;
    guard->signal = signal;
    siglongjmp(guard->jump, 1);
  }
  passOn(signal, info, context);
}

// The guard's handler for the fault signals, from construction to destruction.
class GuardHandlers {
 public:
  GuardHandlers() {
    struct sigaction action {};
    action.sa_sigaction = &onFaultSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kFaultSignalCount; ++i) {
      sigaction(kFaultSignals[i], &action, &previousActions[i]);
    }
  }
  ~GuardHandlers() {
    for (int i = 0; i < kFaultSignalCount; ++i) {
      sigaction(kFaultSignals[i], &previousActions[i], nullptr);
    }
  }
  GuardHandlers(const GuardHandlers&) = delete;
  GuardHandlers& operator=(const GuardHandlers&) = delete;
};

DWORD exceptionCodeOf(int signal) {
  switch (signal) {
    case SIGSEGV:
      return EXCEPTION_ACCESS_VIOLATION;
    case SIGBUS:
      return EXCEPTION_IN_PAGE_ERROR;
    case SIGILL:
      return EXCEPTION_ILLEGAL_INSTRUCTION;
    default:
      return EXCEPTION_INT_DIVIDE_BY_ZERO;
  }
}

// Runs the query with the guard armed. Returns 0 when it returned (*verdict set), or the
// signal of the fault that ended it. Kept apart so that nothing of the caller's frame is
// live across the jump.
int runArmed(ActiveGuard* guard, RevocationQuery query, PCCERT_CONTEXT certificate,
             PCERT_REVOCATION_STATUS status, BOOL* verdict) {
  if (sigsetjmp(guard->jump, /*savemask=*/1) != 0) return guard->signal;
  activeGuard = guard;
  try {
    *verdict = query(certificate, status);
  } catch (...) {
    activeGuard = nullptr;
    throw;
  }
  activeGuard = nullptr;
  return 0;
}

}  // namespace

GuardedQueryEnd runRevocationQueryGuarded(RevocationQuery query, PCCERT_CONTEXT certificate,
                                          PCERT_REVOCATION_STATUS status, BOOL* verdict) {
  std::lock_guard<std::mutex> lock(oneQueryAtATime);
  ActiveGuard guard;
  int signal = 0;
  {
    const GuardHandlers handlers;
    signal = runArmed(&guard, query, certificate, status, verdict);
  }
  if (signal == 0) return GuardedQueryEnd::kReturned;
  if (revocationFaultFilter(exceptionCodeOf(signal))) return GuardedQueryEnd::kFaultAbsorbed;
  raise(signal);  // not ours to absorb: the handler of before gets it
  std::abort();
}

}  // namespace quillet::host
