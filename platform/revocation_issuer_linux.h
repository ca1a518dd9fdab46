// Inside the platform library on Linux: finding the issuer whose CRLs judge a certificate.
#pragma once

#include <openssl/x509.h>

#include "platform/crypt_types.h"
#include "platform/openssl_owned_linux.h"

namespace quillet::platform {

// Decodes the DER certificate of a context; null when it does not decode.
ScopedX509 decodeContext(PCCERT_CONTEXT context);

// Returns true when `candidate` issued `cert`: its subject is the certificate's issuer, the
// key identifiers (when both are present) and its key usage fit, and its key verifies the
// certificate's signature.
bool isIssuerOf(X509* candidate, X509* cert);

// Returns the issuer of the certificate among the current user's stores My, CA and Root (the
// first one found, in that order of stores and in each store's order), or null. Leaves the
// last error as it was.
ScopedX509 findIssuerInStores(X509* cert);

}  // namespace quillet::platform
