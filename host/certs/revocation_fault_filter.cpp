#include "host/certs/revocation_fault_filter.h"

#include "host/trace.h"

namespace quillet::host {

bool revocationFaultFilter(DWORD exceptionCode) {
  if (exceptionCode == EXCEPTION_ACCESS_VIOLATION) {
    trace(L"caught AV as expected.", 0, 0);
    return true;
  }
  trace(L"didn't catch AV, unexpected.", 0, 0);
  return false;
}

}  // namespace quillet::host
