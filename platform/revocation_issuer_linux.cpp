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

// The DER encoding of an OpenSSL object, or the empty string when it has none.
template <typename T>
std::string Der(const T* object, int (*encode)(const T*, unsigned char**)) {
  unsigned char* der = nullptr;
  const int length = encode(object, &der);
  std::string bytes;
  if (length > 0)
    bytes.assign(reinterpret_cast<const char*>(der), static_cast<std::size_t>(length));
  OPENSSL_free(der);
  return bytes;
}

// The certificate signatures that verified in this process: pairs of the signing key (DER
// SubjectPublicKeyInfo) and the signed certificate (DER). A signature over the same bytes
// with the same key verifies again, so a pair found here is not verified again; one that
// failed is never kept. Emptied when full, which keeps the memory of a long-lived process
// flat.
class VerifiedSignatures {
 public:
  bool Verifies(X509* cert, X509* candidate, EVP_PKEY* key) {
    std::pair<std::string, std::string> pair(Der(X509_get_X509_PUBKEY(candidate), i2d_X509_PUBKEY),
                                             Der(cert, i2d_X509));
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

VerifiedSignatures& ProcessSignatures() {
  static VerifiedSignatures signatures;
  return signatures;
}

// Returns the first certificate of the store that issued `cert`, or null.
OwnedX509 FindIssuerInStore(const wchar_t* name, X509* cert) {
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                   CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, name);
  if (store == nullptr) return nullptr;
  OwnedX509 issuer;
  PCCERT_CONTEXT context = nullptr;
  while (issuer == nullptr && (context = CertEnumCertificatesInStore(store, context)) != nullptr) {
    OwnedX509 candidate = DecodeContext(context);
    if (candidate != nullptr && IsIssuerOf(candidate.get(), cert)) issuer = std::move(candidate);
  }
  CertFreeCertificateContext(context);
  CertCloseStore(store, 0);
  return issuer;
}

}  // namespace

OwnedX509 DecodeContext(PCCERT_CONTEXT context) {
  if (context == nullptr || context->pbCertEncoded == nullptr) return nullptr;
  const unsigned char* cursor = context->pbCertEncoded;
  OwnedX509 cert(d2i_X509(nullptr, &cursor, static_cast<long>(context->cbCertEncoded)));
  if (cert == nullptr) ERR_clear_error();
  return cert;
}

bool IsIssuerOf(X509* candidate, X509* cert) {
  EVP_PKEY* key = X509_get0_pubkey(candidate);
  const bool issued = X509_check_issued(candidate, cert) == X509_V_OK && key != nullptr &&
                      ProcessSignatures().Verifies(cert, candidate, key);
  ERR_clear_error();
  return issued;
}

OwnedX509 FindIssuerInStores(X509* cert) {
  const DWORD saved_error = GetLastError();
  OwnedX509 issuer;
  for (const wchar_t* name : kIssuerStores) {
    issuer = FindIssuerInStore(name, cert);
    if (issuer != nullptr) break;
  }
  SetLastError(saved_error);
  return issuer;
}

}  // namespace quillet::platform
