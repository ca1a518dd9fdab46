// Whether a certificate may sign, or be accepted as a signer's: a GOST signature algorithm,
// key usage for signing, inside its validity period, and not revoked.
#pragma once

#include "platform/win32.h"

namespace quillet::host {

// The static stage: looks only at the certificate and the clock, in this order, and returns
// the first failure: 5 when its issuer did not sign it with GOST R 34.10-94, R 34.10-2001 or
// R 34.10-2012 256 (object identifier compared as whole text); 6 when its key usage lacks
// digital signature (0x80) or non-repudiation (0x40), or it has no key-usage extension (or
// one that does not decode); 8 when it is not yet valid; 7 when it has expired; else 0.
// Borrows the context; traces nothing.
int CheckIfCertificateSuitable(PCCERT_CONTEXT certificate);

// The full check: the static stage, then (only when it passes) the revocation query under
// the fault guard, traced as "CertVerifyRevocation" before and "CertVerifyRevocation is ok"
// after a query that returned. Returns the static stage's code, 0 when the certificate is
// not revoked, 12-18 for a revoked one by its CRL reason, 11 when revocation could not be
// checked (an access violation inside the query included, traced as "caught AV as
// expected.", "Can't verify revocation" and "CertVerifyRevocation failed" with code 11).
// Has the shape of the signature library's CertificateCheckCallback. Borrows the context.
int CheckIfCertificateValid(PCCERT_CONTEXT certificate);

// Filter procedure of the certificate selection dialog (PFNCMFILTERPROC): TRUE, show the
// certificate, when CheckIfCertificateSuitable returns 0. The other arguments are ignored.
BOOL WINAPI filterCertificate(PCCERT_CONTEXT certificate, LPARAM customData, DWORD flags,
                              DWORD displayWell);

}  // namespace quillet::host
