#include "host/certs/certificate_checks.h"

#include <cstring>

#include "host/certs/revocation_fault_guard.h"
#include "host/certs/revocation_query.h"
#include "host/certs/revocation_result.h"
#include "host/result_codes.h"
#include "host/trace.h"

namespace quillet::host {

namespace {

constexpr DWORD kCertificateEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr BYTE kSigningKeyUsage = CERT_DIGITAL_SIGNATURE_KEY_USAGE | CERT_NON_REPUDIATION_KEY_USAGE;

// The signature algorithms a certificate's issuer may have signed it with: GOST R 34.10-94,
// R 34.10-2001 (both with R 34.11-94) and R 34.10-2012 256 (with R 34.11-2012).
const char* const kGostSignatureAlgorithms[] = {
    "1.2.643.2.2.4",
    "1.2.643.2.2.3",
    "1.2.643.7.1.1.3.2",
};

bool isGostSignatureAlgorithm(const char* oid) {
  if (oid == nullptr) return false;
  for (const char* accepted : kGostSignatureAlgorithms) {
    if (std::strcmp(oid, accepted) == 0) return true;
  }
  return false;
}

// 0 when the key usage allows signing; 6 when it lacks a bit or cannot be read.
int checkKeyUsage(PCERT_INFO info) {
  BYTE usage = 0;
  if (!CertGetIntendedKeyUsage(kCertificateEncoding, info, &usage, /*cbKeyUsage=*/1)) {
    return NotSigningCertificate;
  }
  return (usage & kSigningKeyUsage) == kSigningKeyUsage ? Ok : NotSigningCertificate;
}

int checkValidityPeriod(PCERT_INFO info) {
  const LONG position = CertVerifyTimeValidity(/*pTimeToVerify=*/nullptr, info);
  if (position < 0) return CertificateNotYetValid;
  if (position > 0) return CertificateExpired;
  return Ok;
}

}  // namespace

int CheckIfCertificateSuitable(PCCERT_CONTEXT certificate) {
  if (certificate == nullptr || certificate->pCertInfo == nullptr) return NotGostCertificate;
  PCERT_INFO info = certificate->pCertInfo;
  if (!isGostSignatureAlgorithm(info->SignatureAlgorithm.pszObjId)) return NotGostCertificate;
  const int usage = checkKeyUsage(info);
  if (usage != Ok) return usage;
  return checkValidityPeriod(info);
}

int CheckIfCertificateValid(PCCERT_CONTEXT certificate) {
  const int suitable = CheckIfCertificateSuitable(certificate);
  if (suitable != Ok) return suitable;
  trace(L"CertVerifyRevocation", Ok, 0);
  CERT_REVOCATION_STATUS status{};
  status.cbSize = sizeof status;
  BOOL verdict = FALSE;
  if (runRevocationQueryGuarded(currentRevocationQuery(), certificate, &status, &verdict) ==
      GuardedQueryEnd::kFaultAbsorbed) {
    trace(L"Can't verify revocation", Ok, 0);
    trace(L"CertVerifyRevocation failed", RevocationCheckFailed, 0);
    return RevocationCheckFailed;
  }
  trace(L"CertVerifyRevocation is ok", Ok, 0);
  return verdict ? Ok : revocationResult(status);
}

BOOL WINAPI filterCertificate(PCCERT_CONTEXT certificate, LPARAM /*customData*/, DWORD /*flags*/,
                              DWORD /*displayWell*/) {
  return CheckIfCertificateSuitable(certificate) == Ok ? TRUE : FALSE;
}

}  // namespace quillet::host
