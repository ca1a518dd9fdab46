// The revocation query of the certificate check, behind a seam: tests put a query of their
// own in its place to raise faults inside it, which the real provider cannot be made to do.
#pragma once

#include "platform/win32.h"

namespace quillet::host {

// A revocation query: asks whether the certificate is revoked and fills *status (cbSize
// already set). Returns the platform's verdict, TRUE for not revoked.
using RevocationQuery = BOOL (*)(PCCERT_CONTEXT certificate, PCERT_REVOCATION_STATUS status);

// The query the check makes: CertVerifyRevocation with X509_ASN_ENCODING |
// PKCS_7_ASN_ENCODING, CERT_CONTEXT_REVOCATION_TYPE, the one context, only
// CERT_VERIFY_REV_CHAIN_FLAG and no CERT_REVOCATION_PARA.
BOOL verifyRevocationOfOne(PCCERT_CONTEXT certificate, PCERT_REVOCATION_STATUS status);

// Returns the query the check makes now (verifyRevocationOfOne unless replaced).
RevocationQuery currentRevocationQuery();

// Replaces the query (null restores verifyRevocationOfOne) and returns the one it replaced.
// For tests only.
RevocationQuery replaceRevocationQueryForTesting(RevocationQuery query);

}  // namespace quillet::host
