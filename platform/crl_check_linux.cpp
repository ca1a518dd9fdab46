#include "platform/crl_check_linux.h"

#include <openssl/asn1.h>
#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <algorithm>

#include "platform/cert_revocation.h"

namespace quillet::platform {
namespace {

// Returns the time as seconds since the epoch, or 0 when it cannot be read.
std::time_t EpochSeconds(const ASN1_TIME* time) {
  std::tm parts{};
  if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1) return 0;
  return timegm(&parts);
}

// Returns the reason code of a CRL entry: its reason extension, else unspecified.
DWORD EntryReason(const X509_REVOKED* entry) {
  int critical = 0;
  auto* reason = static_cast<ASN1_ENUMERATED*>(
      X509_REVOKED_get_ext_d2i(entry, NID_crl_reason, &critical, nullptr));
  if (reason == nullptr) return CRL_REASON_UNSPECIFIED;
  const long value = ASN1_ENUMERATED_get(reason);
  ASN1_ENUMERATED_free(reason);
  return (value >= 0 && value <= CRL_REASON_AA_COMPROMISE) ? static_cast<DWORD>(value)
                                                           : CRL_REASON_UNSPECIFIED;
}

bool IsCurrent(X509_CRL* crl, std::time_t now) {
  const ASN1_TIME* this_update = X509_CRL_get0_lastUpdate(crl);
  const ASN1_TIME* next_update = X509_CRL_get0_nextUpdate(crl);
  if (this_update == nullptr || X509_cmp_time(this_update, &now) != -1) return false;
  return next_update == nullptr || X509_cmp_time(next_update, &now) == 1;
}

}  // namespace

bool IsUsableCrl(X509_CRL* crl, X509* issuer, std::time_t now) {
  if (X509_NAME_cmp(X509_CRL_get_issuer(crl), X509_get_subject_name(issuer)) != 0) return false;
  if (X509_CRL_get_ext_by_NID(crl, NID_delta_crl, -1) >= 0) return false;
  if ((X509_get_key_usage(issuer) & KU_CRL_SIGN) == 0) return false;
  EVP_PKEY* key = X509_get0_pubkey(issuer);
  const bool verified = key != nullptr && X509_CRL_verify(crl, key) == 1;
  ERR_clear_error();
  return verified && IsCurrent(crl, now);
}

CrlVerdict JudgeByCrls(X509* cert, X509* issuer, const OwnedCrls& crls, std::time_t now) {
  CrlVerdict verdict;
  std::time_t newest = 0;
  for (const OwnedCrl& crl : crls) {
    if (!IsUsableCrl(crl.get(), issuer, now)) continue;
    newest = std::max(newest, EpochSeconds(X509_CRL_get0_lastUpdate(crl.get())));
    X509_REVOKED* entry = nullptr;
    if (X509_CRL_get0_by_serial(crl.get(), &entry, X509_get0_serialNumber(cert)) > 0) {
      verdict.kind = CrlVerdict::kRevoked;
      verdict.reason = EntryReason(entry);
      break;
    }
    verdict.kind = CrlVerdict::kNotRevoked;
  }
  if (verdict.kind != CrlVerdict::kNoUsableCrl && newest > 0 && newest <= now) {
    verdict.freshness_seconds = static_cast<DWORD>(now - newest);
  }
  return verdict;
}

}  // namespace quillet::platform
