#include "platform/cert_revocation.h"

#include <chrono>
#include <cstddef>
#include <ctime>

#include "platform/crl_check_linux.h"
#include "platform/crl_fetch_linux.h"
#include "platform/crl_sources_linux.h"
#include "platform/last_error.h"
#include "platform/revocation_issuer_linux.h"

namespace {

using quillet::platform::CrlVerdict;
using quillet::platform::ScopedX509;
using quillet::platform::ScopedX509Crls;

// The time all CRL fetches for one certificate may take together.
constexpr std::chrono::seconds kFetchBudget{15};

// FILETIME of the Unix epoch (100-nanosecond intervals since 1601).
constexpr unsigned long long kEpochAsFileTime = 116444736000000000ULL;

constexpr std::size_t kStatusMinimum = offsetof(CERT_REVOCATION_STATUS, fHasFreshnessTime);
constexpr std::size_t kStatusWithFreshness = sizeof(CERT_REVOCATION_STATUS);
constexpr std::size_t kParaMinimum = offsetof(CERT_REVOCATION_PARA, cCertStore);
constexpr std::size_t kParaWithTime = sizeof(CERT_REVOCATION_PARA);

// The outcome for one certificate: 0 (checked, not revoked) or the error, with the verdict.
struct Outcome {
  DWORD error = 0;
  CrlVerdict verdict;
};

std::time_t timeToCheck(const CERT_REVOCATION_PARA* para) {
  if (para == nullptr || para->cbSize < kParaWithTime || para->pftTimeToUse == nullptr) {
    return std::time(nullptr);
  }
  const unsigned long long ticks =
      (static_cast<unsigned long long>(para->pftTimeToUse->dwHighDateTime) << 32) |
      para->pftTimeToUse->dwLowDateTime;
  if (ticks < kEpochAsFileTime) return 0;
  return static_cast<std::time_t>((ticks - kEpochAsFileTime) / 10000000ULL);
}

// Returns the issuer to use for context `index`: the next context of a chain, the caller's
// issuer for the last one, else one found in the stores; null when there is none.
ScopedX509 issuerFor(X509* cert, DWORD index, DWORD count, PVOID contexts[], DWORD flags,
                     const CERT_REVOCATION_PARA* para) {
  PCCERT_CONTEXT hint = nullptr;
  if ((flags & CERT_VERIFY_REV_CHAIN_FLAG) && index + 1 < count) {
    hint = static_cast<PCCERT_CONTEXT>(contexts[index + 1]);
  } else if (index + 1 == count && para != nullptr && para->cbSize >= kParaMinimum) {
    hint = para->pIssuerCert;
  }
  ScopedX509 issuer = quillet::platform::decodeContext(hint);
  if (issuer != nullptr && quillet::platform::isIssuerOf(issuer.get(), cert)) return issuer;
  return quillet::platform::findIssuerInStores(cert);
}

// Judges the certificate by the CRLs of its distribution points, fetched one after the
// other until one gives a verdict; *offline tells whether a fetch failed.
CrlVerdict judgeByDistributionPoints(X509* cert, X509* issuer, std::time_t now, bool* offline) {
  const auto deadline = std::chrono::steady_clock::now() + kFetchBudget;
  CrlVerdict verdict;
  for (const std::string& url : quillet::platform::httpDistributionPoints(cert)) {
    std::string body;
    if (!quillet::platform::fetchHttpBody(url, deadline, &body)) {
      *offline = true;
      continue;
    }
    ScopedX509Crls crls;
    quillet::platform::decodeCrls(body, &crls);
    verdict = quillet::platform::judgeByCrls(cert, issuer, crls, now);
    if (verdict.kind != CrlVerdict::kNoUsableCrl) break;
  }
  return verdict;
}

Outcome checkOne(DWORD index, DWORD count, PVOID contexts[], DWORD flags,
                 const CERT_REVOCATION_PARA* para) {
  Outcome outcome;
  ScopedX509 cert = quillet::platform::decodeContext(static_cast<PCCERT_CONTEXT>(contexts[index]));
  if (cert == nullptr) return outcome.error = E_INVALIDARG, outcome;
  ScopedX509 issuer = issuerFor(cert.get(), index, count, contexts, flags, para);
  if (issuer == nullptr) return outcome.error = CRYPT_E_NO_REVOCATION_CHECK, outcome;
  const std::time_t now = timeToCheck(para);
  outcome.verdict = quillet::platform::judgeByStoreCrls(cert.get(), issuer.get(), now);
  bool offline = false;
  if (outcome.verdict.kind == CrlVerdict::kNoUsableCrl &&
      !(flags & CERT_VERIFY_CACHE_ONLY_BASED_REVOCATION)) {
    outcome.verdict = judgeByDistributionPoints(cert.get(), issuer.get(), now, &offline);
  }
  switch (outcome.verdict.kind) {
    case CrlVerdict::kRevoked:
      outcome.error = CRYPT_E_REVOKED;
      break;
    case CrlVerdict::kNotRevoked:
      outcome.error = 0;
      break;
    case CrlVerdict::kNoUsableCrl:
      outcome.error = offline ? CRYPT_E_REVOCATION_OFFLINE : CRYPT_E_NO_REVOCATION_CHECK;
      break;
  }
  return outcome;
}

// Fills the status for context `index` and returns the call's result.
BOOL report(PCERT_REVOCATION_STATUS status, DWORD index, const Outcome& outcome) {
  status->dwIndex = outcome.error == 0 ? 0 : index;
  status->dwError = outcome.error;
  status->dwReason = outcome.error == CRYPT_E_REVOKED ? outcome.verdict.reason : 0;
  if (status->cbSize >= kStatusWithFreshness) {
    const bool fresh = outcome.verdict.kind != CrlVerdict::kNoUsableCrl;
    status->fHasFreshnessTime = fresh ? TRUE : FALSE;
    status->dwFreshnessTime = fresh ? outcome.verdict.freshnessSeconds : 0;
  }
  if (outcome.error == 0) return TRUE;
  SetLastError(outcome.error);
  return FALSE;
}

}  // namespace

BOOL WINAPI CertVerifyRevocation(DWORD dwEncodingType, DWORD dwRevType, DWORD cContext,
                                 PVOID rgpvContext[], DWORD dwFlags, PCERT_REVOCATION_PARA pRevPara,
                                 PCERT_REVOCATION_STATUS pRevStatus) {
  if (pRevStatus == nullptr || pRevStatus->cbSize < kStatusMinimum) {
    SetLastError(E_INVALIDARG);
    return FALSE;
  }
  Outcome outcome;
  if (cContext == 0 || rgpvContext == nullptr || dwRevType != CERT_CONTEXT_REVOCATION_TYPE ||
      (dwEncodingType & X509_ASN_ENCODING) == 0) {
    outcome.error = E_INVALIDARG;
    return report(pRevStatus, 0, outcome);
  }
  for (DWORD index = 0; index < cContext; ++index) {
    outcome = checkOne(index, cContext, rgpvContext, dwFlags, pRevPara);
    if (outcome.error != 0) return report(pRevStatus, index, outcome);
  }
  return report(pRevStatus, 0, outcome);
}
