#include "platform/revocation_issuer_linux.h"

#include <openssl/err.h>
#include <openssl/x509v3.h>

#include "platform/cert_context.h"
#include "platform/cert_store.h"
#include "platform/last_error.h"

namespace quillet::platform {
namespace {

const wchar_t* const kIssuerStores[] = {L"My", L"CA", L"Root"};

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
                      X509_verify(cert, key) == 1;
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
