#include "proxy/user_trust_linux.h"

#include <cstring>

#include <xmlsec/errors.h>
#include <xmlsec/openssl/app.h>

#include "platform/win32.h"

namespace quillet::proxy {
namespace {

// How a store's certificates serve a chain.
enum class StoreRole { kRoots, kIntermediates };

// True when the certificate names itself as its issuer.
bool selfIssued(PCCERT_CONTEXT certificate) {
  const CERT_NAME_BLOB& subject = certificate->pCertInfo->Subject;
  const CERT_NAME_BLOB& issuer = certificate->pCertInfo->Issuer;
  return subject.cbData == issuer.cbData &&
         (subject.cbData == 0 || std::memcmp(subject.pbData, issuer.pbData, subject.cbData) == 0);
}

// Adds one certificate to the manager's X.509 store. OpenSSL trusts a certificate of its
// store as a root only when it is self-signed; any other serves as an intermediate whose
// own issuer must be found there too. Both go in as xmlsec1's "trusted" kind: its
// untrusted kind would make every such certificate a candidate signer of its own.
void addCertificate(xmlSecKeysMngrPtr manager, PCCERT_CONTEXT certificate) {
  // Failures are reported by xmlsec1 itself.
  xmlSecOpenSSLAppKeysMngrCertLoadMemory(manager, certificate->pbCertEncoded,
                                         certificate->cbCertEncoded, xmlSecKeyDataFormatDer,
                                         xmlSecKeyDataTypeTrusted);
}

void addStore(xmlSecKeysMngrPtr manager, const wchar_t* name, StoreRole role) {
  HCERTSTORE store =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, /*dwEncodingType=*/0, /*hCryptProv=*/0,
                    CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, name);
  if (store == nullptr) {
    xmlSecError(__FILE__, __LINE__, __func__, /*errorObject=*/nullptr, "CertOpenStore",
                XMLSEC_ERRORS_R_CRYPTO_FAILED, "GetLastError=0x%08lx",
                static_cast<unsigned long>(GetLastError()));
    return;
  }
  for (PCCERT_CONTEXT certificate = CertEnumCertificatesInStore(store, nullptr);
       certificate != nullptr; certificate = CertEnumCertificatesInStore(store, certificate)) {
    if (role == StoreRole::kIntermediates && selfIssued(certificate)) continue;
    addCertificate(manager, certificate);
  }
  CertCloseStore(store, /*dwFlags=*/0);
}

}  // namespace

void addUserTrust(xmlSecKeysMngrPtr manager) {
  addStore(manager, L"Root", StoreRole::kRoots);
  addStore(manager, L"CA", StoreRole::kIntermediates);
}

}  // namespace quillet::proxy
