// CertVerifyRevocation: is a certificate revoked, by the CRLs its issuer publishes.
//
// On Linux the revocation provider works from CRLs only (no OCSP):
// - The issuer of each certificate is the next context of the array (with
//   CERT_VERIFY_REV_CHAIN_FLAG), else CERT_REVOCATION_PARA::pIssuerCert for the last
//   context, else the first certificate of the current user's stores My, CA and Root (in
//   that order) whose subject, key identifier and key usage fit and whose key verifies the
//   certificate's signature.
// - CRLs are the .crl files (DER, or PEM holding one or more CRLs) of the stores My, CA and
//   Root and, when none of them is usable, the CRLs fetched from the certificate's http CRL
//   distribution points with libcurl (about 15 seconds for all fetches of one certificate
//   together; skipped with CERT_VERIFY_CACHE_ONLY_BASED_REVOCATION).
// - A CRL is usable when its issuer name is the issuer's subject, it is not a delta CRL, its
//   signature verifies with the issuer's key (GOST through the engine), the issuer's key usage
//   (if any) allows CRL signing, and the time checked (now, or pftTimeToUse) lies after its
//   thisUpdate and before its nextUpdate (when it has one). Any other CRL counts as none.
// - A certificate listed by a usable CRL is revoked, with the reason of its entry (reason
//   code extension; unspecified when it has none; removeFromCRL is reported as it stands).
//   One that usable CRLs exist for and none lists is not revoked. Without a usable CRL the
//   revocation is not checked: never reported as "not revoked".
//
// The status record: cbSize must cover at least dwReason. On return dwIndex is the first
// context revoked or not checkable (0 on success), dwError the error (0 on success, else the
// same value as GetLastError), dwReason the CRL reason with CRYPT_E_REVOKED (0 otherwise);
// fHasFreshnessTime and dwFreshnessTime, when cbSize covers them, say how many seconds ago
// the newest usable CRL of the last certificate checked was issued.
//
// Error codes: CRYPT_E_REVOKED (a certificate is revoked), CRYPT_E_NO_REVOCATION_CHECK (no
// issuer found, no usable CRL), CRYPT_E_REVOCATION_OFFLINE (no usable CRL and a distribution
// point could not be fetched), E_INVALIDARG (no status, cbSize too small, no contexts, a
// revocation type other than CERT_CONTEXT_REVOCATION_TYPE, an encoding without
// X509_ASN_ENCODING, a context that does not decode).
#pragma once

#include "platform/api.h"
#include "platform/crypt_types.h"
#include "platform/file_time.h"

#define CERT_CONTEXT_REVOCATION_TYPE 1

#define CERT_VERIFY_REV_CHAIN_FLAG 0x00000001
#define CERT_VERIFY_CACHE_ONLY_BASED_REVOCATION 0x00000002
#define CERT_VERIFY_REV_ACCUMULATIVE_TIMEOUT_FLAG 0x00000004
#define CERT_VERIFY_REV_SERVER_OCSP_FLAG 0x00000008

#define CRL_REASON_UNSPECIFIED 0
#define CRL_REASON_KEY_COMPROMISE 1
#define CRL_REASON_CA_COMPROMISE 2
#define CRL_REASON_AFFILIATION_CHANGED 3
#define CRL_REASON_SUPERSEDED 4
#define CRL_REASON_CESSATION_OF_OPERATION 5
#define CRL_REASON_CERTIFICATE_HOLD 6
#define CRL_REASON_REMOVE_FROM_CRL 8
#define CRL_REASON_PRIVILEGE_WITHDRAWN 9
#define CRL_REASON_AA_COMPROMISE 10

#define CRYPT_E_REVOKED ((DWORD)0x80092010L)
#define CRYPT_E_NO_REVOCATION_DLL ((DWORD)0x80092011L)
#define CRYPT_E_NO_REVOCATION_CHECK ((DWORD)0x80092012L)
#define CRYPT_E_REVOCATION_OFFLINE ((DWORD)0x80092013L)

// Optional parameters. Honoured: pIssuerCert, pftTimeToUse. cCertStore, rgCertStore and
// hCrlStore are ignored (the provider reads the user's stores itself).
typedef struct _CERT_REVOCATION_PARA {
  DWORD cbSize;
  PCCERT_CONTEXT pIssuerCert;
  DWORD cCertStore;
  HCERTSTORE* rgCertStore;
  HCERTSTORE hCrlStore;
  LPFILETIME pftTimeToUse;
} CERT_REVOCATION_PARA, *PCERT_REVOCATION_PARA;

typedef struct _CERT_REVOCATION_STATUS {
  DWORD cbSize;
  DWORD dwIndex;
  DWORD dwError;
  DWORD dwReason;
  BOOL fHasFreshnessTime;
  DWORD dwFreshnessTime;
} CERT_REVOCATION_STATUS, *PCERT_REVOCATION_STATUS;

// Checks the cContext certificate contexts of rgpvContext (PCCERT_CONTEXT each) in order
// and stops at the first one that is revoked or cannot be checked. Returns TRUE when none
// is revoked and all could be checked; FALSE otherwise, with the status filled and the
// last error set as described above.
QUILLET_API BOOL WINAPI CertVerifyRevocation(DWORD dwEncodingType, DWORD dwRevType, DWORD cContext,
                                             PVOID rgpvContext[], DWORD dwFlags,
                                             PCERT_REVOCATION_PARA pRevPara,
                                             PCERT_REVOCATION_STATUS pRevStatus);
