#include "host/certs/revocation_query.h"

namespace quillet::host {

namespace {

RevocationQuery currentQuery = &verifyRevocationOfOne;

}  // namespace

BOOL verifyRevocationOfOne(PCCERT_CONTEXT certificate, PCERT_REVOCATION_STATUS status) {
  PVOID contexts[] = {const_cast<PCERT_CONTEXT>(certificate)};
  return CertVerifyRevocation(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, CERT_CONTEXT_REVOCATION_TYPE,
                              /*cContext=*/1, contexts, CERT_VERIFY_REV_CHAIN_FLAG,
                              /*pRevPara=*/nullptr, status);
}

RevocationQuery currentRevocationQuery() { return currentQuery; }

RevocationQuery replaceRevocationQueryForTesting(RevocationQuery query) {
  const RevocationQuery previous = currentQuery;
  currentQuery = query != nullptr ? query : &verifyRevocationOfOne;
  return previous;
}

}  // namespace quillet::host
