// The result code of a revocation query that returned false.
#pragma once

#include "platform/win32.h"

namespace quillet::host {

// Maps the status of a failed revocation query: 11 when dwError is neither 0 nor
// CRYPT_E_REVOKED (the revocation could not be checked); otherwise by dwReason, 13 key
// compromise, 14 CA compromise, 15 affiliation changed, 16 superseded, 17 cessation of
// operation, 18 certificate hold, and 12 for any other reason (unspecified, remove from CRL,
// privilege withdrawn, AA compromise, unknown values).
int revocationResult(const CERT_REVOCATION_STATUS& status);

}  // namespace quillet::host
