#include "platform/revocation_issuer_linux.h"

#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "platform/cert_context.h"
#include "platform/cert_store.h"
#include "platform/last_error.h"

namespace quillet::platform {
namespace {

const wchar_t* const kIssuerStores[] = {L"My", L"CA", L"Root"};

// The certificate signatures that verified in this process: pairs of the signing key (DER
// SubjectPublicKeyInfo) and the signed certificate (DER). A signature over the same bytes
// with the same key verifies again, so a pair found here is not verified again; one that
// failed is never kept. Emptied when full, which keeps the memory of a long-lived process
// flat.
class VerifiedSignatures {
 public:
  bool verifies(X509* cert, X509* candidate, EVP_PKEY* key) {
    std::pair<std::string, std::string> pair(
        derOf(X509_get_X509_PUBKEY(candidate), i2d_X509_PUBKEY), derOf(cert, i2d_X509));
    const bool known = !pair.first.empty() && !pair.second.empty();
    if (known) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (verified_.count(pair) != 0) return true;
    }
    if (X509_verify(cert, key) != 1) return false;
    if (known) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (verified_.size() >= kCapacity) verified_.clear();
      verified_.insert(std::move(pair));
    }
    return true;
  }

 private:
  static constexpr std::size_t kCapacity = 256;
  std::mutex mutex_;
  std::set<std::pair<std::string, std::string>> verified_;
};

VerifiedSignatures& processSignatures() {
  static VerifiedSignatures signatures;
  return signatures;
}

// Returns the first certificate of the store that issued `cert`, or null.
ScopedX509 findIssuerInStore(const wchar_t* name, X509* cert) {
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                   CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, name);
  if (store == nullptr) return nullptr;
  ScopedX509 issuer;
  PCCERT_CONTEXT context = nullptr;
  while (issuer == nullptr && (context = CertEnumCertificatesInStore(store, context)) != nullptr) {
    ScopedX509 candidate = decodeContext(context);
    if (candidate != nullptr && isIssuerOf(candidate.get(), cert)) issuer = std::move(candidate);
  }
  CertFreeCertificateContext(context);
  CertCloseStore(store, 0);
  return issuer;
}

}  // namespace

ScopedX509 decodeContext(PCCERT_CONTEXT context) {
  if (context == nullptr || context->pbCertEncoded == nullptr) return nullptr;
  const unsigned char* cursor = context->pbCertEncoded;
  ScopedX509 cert(d2i_X509(nullptr, &cursor, static_cast<long>(context->cbCertEncoded)));
  if (cert == nullptr) ERR_clear_error();
  return cert;
}

bool isIssuerOf(X509* candidate, X509* cert) {
  EVP_PKEY* key = X509_get0_pubkey(candidate);
  const bool issued = X509_check_issued(candidate, cert) == X509_V_OK && key != nullptr &&
                      processSignatures().verifies(cert, candidate, key);
  ERR_clear_error();
  return issued;
}

ScopedX509 findIssuerInStores(X509* cert) {
  const DWORD savedError = GetLastError();
  ScopedX509 issuer;
  for (const wchar_t* name : kIssuerStores) {
    issuer = findIssuerInStore(name, cert);
    if (issuer != nullptr) break;
  }
  SetLastError(savedError);
  return issuer;
}

}  // namespace quillet::platform
