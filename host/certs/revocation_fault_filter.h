// Which faults inside the revocation query the certificate check absorbs.
#pragma once

#include "platform/win32.h"

namespace quillet::host {

// Returns true (absorb the fault) for EXCEPTION_ACCESS_VIOLATION, after tracing "caught AV
// as expected."; false (let it travel on) for every other exception code, after tracing
// "didn't catch AV, unexpected.".
bool revocationFaultFilter(DWORD exceptionCode);

}  // namespace quillet::host
