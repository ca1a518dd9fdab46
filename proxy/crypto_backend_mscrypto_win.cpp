// The crypto back end on Windows: xmlsec1's mscrypto back end over CryptoAPI, with private
// keys in the GOST provider that holds the certificate's key container.
// Windows' own headers (through crypto_backend.h) come before mscrypto's, which need them.
#include "proxy/crypto_backend.h"

#include <xmlsec/dl.h>
#include <xmlsec/mscrypto/app.h>
#include <xmlsec/mscrypto/certkeys.h>
#include <xmlsec/mscrypto/crypto.h>
#include <xmlsec/mscrypto/x509.h>

namespace quillet::proxy {

// On Windows the material is mscrypto's key value data, which holds its own reference to
// the certificate context and the provider handle of its private key.
struct BackendKeyData {
  xmlSecKeyDataPtr value = nullptr;
};

void BackendKeyDataDeleter::operator()(BackendKeyData* data) const {
  if (data->value != nullptr) xmlSecKeyDataDestroy(data->value);
  delete data;
}

std::wstring backendModuleName() { return L"libxmlsec1-mscrypto"; }

// xmlsec1 loads the back end with LoadLibraryA by bare name, which returns the module the
// preload has already loaded from the system's search order or the executable's directory.
void backendPrepareLoading() {}

bool backendLoadedIsLinked() {
  return xmlSecCryptoDLGetFunctions() == xmlSecCryptoGetFunctions_mscrypto();
}

BackendKeyDataPtr backendKeyDataFromCertificate(PCCERT_CONTEXT certificate) {
  // xmlSecMSCryptoCertAdopt keeps the context it is given, so it gets a reference of its
  // own and the host stays free to release the one it lent.
  PCCERT_CONTEXT duplicate = CertDuplicateCertificateContext(certificate);
  if (duplicate == nullptr) return nullptr;
  xmlSecKeyDataPtr value =
      xmlSecMSCryptoCertAdopt(duplicate, xmlSecKeyDataTypePrivate | xmlSecKeyDataTypePublic);
  if (value == nullptr) {
    CertFreeCertificateContext(duplicate);
    return nullptr;
  }
  return BackendKeyDataPtr(new BackendKeyData{value});
}

HCRYPTPROV backendKeyDataProvider(const BackendKeyData& data) {
  return xmlSecMSCryptoKeyDataGetMSCryptoProvider(data.value);
}

bool backendSetKeyValue(xmlSecKeyPtr key, BackendKeyDataPtr data) {
  if (xmlSecKeySetValue(key, data->value) < 0) return false;
  data->value = nullptr;
  return true;
}

int backendKeyCertificateLoad(xmlSecKeyPtr key, const BYTE* der, DWORD size) {
  return xmlSecMSCryptoAppKeyCertLoadMemory(key, der, size, xmlSecKeyDataFormatDer);
}

// mscrypto's default keys manager verifies chains with the system's chain engine, which
// trusts the user's Root store and takes intermediates from the CA store itself.
int backendDefaultKeysManagerInit(xmlSecKeysMngrPtr manager) {
  return xmlSecMSCryptoAppDefaultKeysMngrInit(manager);
}

xmlSecKeyPtr backendKeyFromCertificate(const BYTE* der, DWORD size) {
  return xmlSecMSCryptoAppKeyLoadMemory(der, size, xmlSecKeyDataFormatCertDer, /*pwd=*/nullptr,
                                        /*pwdCallback=*/nullptr, /*pwdCallbackCtx=*/nullptr);
}

int backendAdoptKey(xmlSecKeysMngrPtr manager, xmlSecKeyPtr key) {
  return xmlSecMSCryptoAppDefaultKeysMngrAdoptKey(manager, key);
}

CertificateContextPtr backendSignerCertificate(xmlSecKeyPtr key) {
  xmlSecKeyDataPtr data = xmlSecKeyGetData(key, xmlSecMSCryptoKeyDataX509Id);
  if (data == nullptr) return nullptr;
  // Set only when the chain verified (or for the optional certificate's key).
  PCCERT_CONTEXT certificate = xmlSecMSCryptoKeyDataX509GetKeyCert(data);
  // The key data keeps its own reference; the caller gets one of its own.
  return CertificateContextPtr(certificate != nullptr ? CertDuplicateCertificateContext(certificate)
                                                      : nullptr);
}

xmlSecKeyDataId backendX509DataId() { return xmlSecMSCryptoKeyDataX509Id; }

SignatureTransforms backendTransforms(GostAlgorithm algorithm) {
  switch (algorithm) {
    case GostAlgorithm::kR3410_2012_256:
      return {xmlSecMSCryptoTransformGost2012_256GetKlass(),
              xmlSecMSCryptoTransformGostR3411_2012_256GetKlass()};
    case GostAlgorithm::kR3410_2012_512:
      return {xmlSecMSCryptoTransformGost2012_512GetKlass(),
              xmlSecMSCryptoTransformGostR3411_2012_512GetKlass()};
    case GostAlgorithm::kR3410_2001:
      break;
  }
  return {xmlSecMSCryptoTransformGost2001GostR3411_94GetKlass(),
          xmlSecMSCryptoTransformGostR3411_94GetKlass()};
}

}  // namespace quillet::proxy
