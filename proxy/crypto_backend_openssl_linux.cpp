// The crypto back end on Linux: xmlsec1's OpenSSL back end, built with GOST, with private
// keys from the platform library's key containers (platform/key_container_linux.h).
#include <dlfcn.h>
#include <ltdl.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <climits>
#include <cstdlib>
#include <string>

#include <xmlsec/dl.h>
#include <xmlsec/errors.h>
#include <xmlsec/keysmngr.h>
#include <xmlsec/openssl/app.h>
#include <xmlsec/openssl/crypto.h>
#include <xmlsec/openssl/evp.h>
#include <xmlsec/openssl/x509.h>

#include "platform/gost_engine_linux.h"
#include "platform/key_container_linux.h"
#include "platform/openssl_owned_linux.h"
#include "proxy/crypto_backend.h"
#include "proxy/signer_key_linux.h"
#include "proxy/xml_handles.h"

namespace quillet::proxy {

// On Linux the material is the key container; the private key is taken out of it when it
// becomes the key's value, after any PIN has unlocked it. The container does not depend on
// the certificate context staying alive.
struct BackendKeyData {
  HCRYPTPROV provider = 0;
  bool releaseProvider = false;
};

namespace {

// Reports a failed platform call through xmlsec1's error callback, as xmlsec1's own back
// ends report theirs, with the call's system error.
void reportPlatformError(const char* function, const char* call, DWORD error) {
  xmlSecError(__FILE__, __LINE__, function, /*errorObject=*/nullptr, call,
              XMLSEC_ERRORS_R_CRYPTO_FAILED, "GetLastError=0x%08lx",
              static_cast<unsigned long>(error));
}

// Returns the directory holding this library, or the empty text when it cannot be told.
std::string ownDirectory() {
  Dl_info info = {};
  if (dladdr(reinterpret_cast<void*>(&backendPrepareLoading), &info) == 0 ||
      info.dli_fname == nullptr) {
    return std::string();
  }
  char resolved[PATH_MAX];
  const std::string path =
      realpath(info.dli_fname, resolved) != nullptr ? resolved : info.dli_fname;
  const std::string::size_type cut = path.rfind('/');
  return cut == std::string::npos ? std::string(".") : path.substr(0, cut);
}

}  // namespace

void BackendKeyDataDeleter::operator()(BackendKeyData* data) const {
  if (data->releaseProvider) CryptReleaseContext(data->provider, /*dwFlags=*/0);
  delete data;
}

std::wstring backendModuleName() { return L"libxmlsec1-openssl.so.1"; }

// xmlsec1 asks libltdl for "libxmlsec1-openssl". libltdl looks in its user search path
// first, then in LTDL_LIBRARY_PATH, LD_LIBRARY_PATH and the system's directories, and
// reads a libtool archive (.la) before any .so in each. The runtime directory holds a
// libxmlsec1-openssl.la naming the bundled back end; putting this library's own directory
// first makes libltdl find it there before Debian's archive of its back end without GOST.
// xmlSecInit (lt_dlinit) starts with an empty search path, so this runs after it every
// time.
void backendPrepareLoading() {
  // The GOST engine first: xmlsec1's OpenSSL back end and this file parse certificates and
  // keys, and one parsed before the engine is there would keep its GOST key undecoded.
  QuilletGostEngine();
  const std::string directory = ownDirectory();
  if (!directory.empty()) lt_dlsetsearchpath(directory.c_str());
}

bool backendLoadedIsLinked() {
  return xmlSecCryptoDLGetFunctions() == xmlSecCryptoGetFunctions_openssl();
}

BackendKeyDataPtr backendKeyDataFromCertificate(PCCERT_CONTEXT certificate) {
  HCRYPTPROV_OR_NCRYPT_KEY_HANDLE provider = 0;
  DWORD keySpec = 0;
  BOOL callerFrees = FALSE;
  if (!CryptAcquireCertificatePrivateKey(certificate, /*dwFlags=*/0, /*pvParameters=*/nullptr,
                                         &provider, &keySpec, &callerFrees)) {
    reportPlatformError(__func__, "CryptAcquireCertificatePrivateKey", GetLastError());
    return nullptr;
  }
  return BackendKeyDataPtr(new BackendKeyData{provider, callerFrees != FALSE});
}

HCRYPTPROV backendKeyDataProvider(const BackendKeyData& data) { return data.provider; }

bool backendSetKeyValue(xmlSecKeyPtr key, BackendKeyDataPtr data) {
  platform::ScopedEvpPkey privateKey(QuilletKeyContainerGetKey(data->provider));
  if (!privateKey) {
    reportPlatformError(__func__, "QuilletKeyContainerGetKey", GetLastError());
    return false;
  }
  data.reset();
  ScopedKeyData value(xmlSecOpenSSLEvpKeyAdopt(privateKey.get()));
  if (!value) return false;
  (void)privateKey.release();  // the key data holds it now
  if (xmlSecKeySetValue(key, value.get()) < 0) return false;
  (void)value.release();  // the key holds it now
  return true;
}

int backendKeyCertificateLoad(xmlSecKeyPtr key, const BYTE* der, DWORD size) {
  return xmlSecOpenSSLAppKeyCertLoadMemory(key, der, size, xmlSecKeyDataFormatDer);
}

// A key store for the optional certificate and the lookup of proxy/signer_key_linux.h.
// No xmlsec1 X.509 store: the lookup reads the document's certificates and builds their
// chains itself, against the user's stores alone (xmlsec1's store would also load the
// system's TLS bundle, which holds no GOST roots, on every verification).
int backendDefaultKeysManagerInit(xmlSecKeysMngrPtr manager) {
  ScopedKeyStore store(xmlSecKeyStoreCreate(xmlSecSimpleKeysStoreId));
  if (!store || xmlSecKeysMngrAdoptKeysStore(manager, store.get()) < 0) return -1;
  (void)store.release();  // the manager holds it now
  manager->getKey = findSignerKey;
  return 0;
}

xmlSecKeyPtr backendKeyFromCertificate(const BYTE* der, DWORD size) {
  return xmlSecOpenSSLAppKeyLoadMemory(der, size, xmlSecKeyDataFormatCertDer, /*pwd=*/nullptr,
                                       /*pwdCallback=*/nullptr, /*pwdCallbackCtx=*/nullptr);
}

int backendAdoptKey(xmlSecKeysMngrPtr manager, xmlSecKeyPtr key) {
  return xmlSecOpenSSLAppDefaultKeysMngrAdoptKey(manager, key);
}

CertificateContextPtr backendSignerCertificate(xmlSecKeyPtr key) {
  xmlSecKeyDataPtr data = xmlSecKeyGetData(key, xmlSecOpenSSLKeyDataX509Id);
  if (data == nullptr) return nullptr;
  X509* certificate = xmlSecOpenSSLKeyDataX509GetKeyCert(data);
  if (certificate == nullptr) return nullptr;
  unsigned char* bytes = nullptr;
  const int size = i2d_X509(certificate, &bytes);
  const platform::ScopedOpenSslBytes der(bytes);
  if (size <= 0) return nullptr;
  return CertificateContextPtr(
      CertCreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, der.get(), size));
}

xmlSecKeyDataId backendX509DataId() { return xmlSecOpenSSLKeyDataX509Id; }

SignatureTransforms backendTransforms(GostAlgorithm algorithm) {
  switch (algorithm) {
    case GostAlgorithm::kR3410_2012_256:
      return {xmlSecOpenSSLTransformGostR3410_2012GostR3411_2012_256GetKlass(),
              xmlSecOpenSSLTransformGostR3411_2012_256GetKlass()};
    case GostAlgorithm::kR3410_2012_512:
      return {xmlSecOpenSSLTransformGostR3410_2012GostR3411_2012_512GetKlass(),
              xmlSecOpenSSLTransformGostR3411_2012_512GetKlass()};
    case GostAlgorithm::kR3410_2001:
      break;
  }
  return {xmlSecOpenSSLTransformGost2001GostR3411_94GetKlass(),
          xmlSecOpenSSLTransformGostR3411_94GetKlass()};
}

}  // namespace quillet::proxy
