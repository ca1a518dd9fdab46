#include "host/certs/revocation_result.h"

#include "host/result_codes.h"

namespace quillet::host {

int revocationResult(const CERT_REVOCATION_STATUS& status) {
  if (status.dwError != 0 && status.dwError != static_cast<DWORD>(CRYPT_E_REVOKED))
    return RevocationCheckFailed;
  switch (status.dwReason) {
    case CRL_REASON_KEY_COMPROMISE:
      return RevokedKeyCompromise;
    case CRL_REASON_CA_COMPROMISE:
      return RevokedCaCompromise;
    case CRL_REASON_AFFILIATION_CHANGED:
      return RevokedAffiliationChanged;
    case CRL_REASON_SUPERSEDED:
      return RevokedSuperseded;
    case CRL_REASON_CESSATION_OF_OPERATION:
      return RevokedCessation;
    case CRL_REASON_CERTIFICATE_HOLD:
      return CertificateOnHold;
    default:
      return RevokedUnspecified;
  }
}

}  // namespace quillet::host
