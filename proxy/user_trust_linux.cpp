#include "proxy/user_trust_linux.h"

#include <cstring>

// xmlsec1's base types come before its other headers.
#include <xmlsec/xmlsec.h>

#include <xmlsec/errors.h>

#include "platform/win32.h"

namespace quillet::proxy {
namespace {

// How a store's certificates serve a chain.
enum class StoreRole { kAnchors, kIntermediates };

// True when the certificate names itself as its issuer.
bool selfIssued(PCCERT_CONTEXT certificate) {
  const CERT_NAME_BLOB& subject = certificate->pCertInfo->Subject;
  const CERT_NAME_BLOB& issuer = certificate->pCertInfo->Issuer;
  return subject.cbData == issuer.cbData &&
         (subject.cbData == 0 || std::memcmp(subject.pbData, issuer.pbData, subject.cbData) == 0);
}

void reportError(const char* call, unsigned long error) {
  xmlSecError(__FILE__, __LINE__, "loadUserTrust", /*errorObject=*/nullptr, call,
              XMLSEC_ERRORS_R_CRYPTO_FAILED, "error=0x%08lx", error);
}

void addCertificate(UserTrust* trust, PCCERT_CONTEXT certificate, StoreRole role) {
  const unsigned char* der = certificate->pbCertEncoded;
  platform::ScopedX509 parsed(
      d2i_X509(nullptr, &der, static_cast<long>(certificate->cbCertEncoded)));
  if (!parsed) {
    reportError("d2i_X509", 0);
    return;
  }
  if (role == StoreRole::kIntermediates) {
    trust->intermediates.push_back(std::move(parsed));
  } else if (X509_STORE_add_cert(trust->anchors.get(), parsed.get()) != 1) {
    reportError("X509_STORE_add_cert", 0);
  }
}

void addStore(UserTrust* trust, const wchar_t* name, StoreRole role) {
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, /*dwEncodingType=*/0, /*hCryptProv=*/0,
                                   CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, name);
  if (store == nullptr) {
    reportError("CertOpenStore", static_cast<unsigned long>(GetLastError()));
    return;
  }
  for (PCCERT_CONTEXT certificate = CertEnumCertificatesInStore(store, nullptr);
       certificate != nullptr; certificate = CertEnumCertificatesInStore(store, certificate)) {
    if (role == StoreRole::kIntermediates && selfIssued(certificate)) continue;
    addCertificate(trust, certificate, role);
  }
  CertCloseStore(store, /*dwFlags=*/0);
}

}  // namespace

UserTrust loadUserTrust() {
  UserTrust trust;
  trust.anchors.reset(X509_STORE_new());
  if (!trust.anchors) return trust;
  addStore(&trust, L"Root", StoreRole::kAnchors);
  addStore(&trust, L"CA", StoreRole::kIntermediates);
  return trust;
}

}  // namespace quillet::proxy
