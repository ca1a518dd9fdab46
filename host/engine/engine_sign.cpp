// VektQuilletImpl::sign: one certificate, one key and one template for every document of
// a request, signed in order; the first failure ends the request.
#include <cstdlib>
#include <memory>

#include "host/certs/binary_text.h"
#include "host/certs/certificate_checks.h"
#include "host/certs/certificate_prompt.h"
#include "host/engine/impl_call_scope.h"
#include "host/engine/vekt_quillet_impl.h"
#include "host/escaped_value.h"
#include "host/trace.h"

namespace {

constexpr DWORD kCertificateEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// Releases what one signing request obtained from the store, on every path.
struct SigningResources {
  HCERTSTORE store = nullptr;
  PCCERT_CONTEXT certificate = nullptr;

  ~SigningResources() {
    if (certificate != nullptr) {
      CertFreeCertificateContext(certificate);
    }
    if (store != nullptr) {
      CertCloseStore(store, 0);
    }
  }
};

// The key and template of one request; released through the signature library's release
// exports (when it has them) before the request's scope shuts the library down.
struct SignerHandles {
  explicit SignerHandles(const VektQuilletImpl& engine) : engine(engine) {}
  ~SignerHandles() {
    if (key != nullptr && engine.DestroyKey != nullptr) {
      engine.DestroyKey(key);
    }
    if (signatureTemplate != nullptr && engine.DestroyTemplate != nullptr) {
      engine.DestroyTemplate(signatureTemplate);
    }
  }
  SignerHandles(const SignerHandles&) = delete;
  SignerHandles& operator=(const SignerHandles&) = delete;

  const VektQuilletImpl& engine;
  struct _xmlSecKey* key = nullptr;
  struct _xmlNode* signatureTemplate = nullptr;
};

// Finds the certificate whose SHA-1 hash the hexadecimal `thumbprint` gives.
int findByThumbprint(HCERTSTORE store, const std::wstring& thumbprint,
                     PCCERT_CONTEXT* certificate) {
  traceResult(L"Sign using certificate: " + escapedValue(thumbprint), Ok, 0);
  BYTE* hash = nullptr;
  DWORD hashSize = 0;
  const int converted = StringToBinary(thumbprint, CRYPT_STRING_HEX_ANY, &hash, &hashSize);
  if (converted != Ok) {
    traceResult(L"Error calling StrngToBinary", converted, 0);
    return converted;
  }
  CRYPT_HASH_BLOB blob{hashSize, hash};
  *certificate = CertFindCertificateInStore(store, kCertificateEncoding, 0, CERT_FIND_SHA1_HASH,
                                            &blob, nullptr);
  const DWORD error = GetLastError();
  std::free(hash);
  if (*certificate == nullptr) {
    traceResult(L"Error: ", CertificateNotFound, error);
    return CertificateNotFound;
  }
  return Ok;
}

}  // namespace

int VektQuilletImpl::sign(const std::vector<std::wstring>& documents, int returnSignatureOnly,
                          const std::wstring& storeName, const std::wstring& thumbprint,
                          const wchar_t* password, std::vector<std::wstring>& results) {
  results.clear();
  ImplCallScope scope(*this, L"sign");
  if (scope.initResult != Ok) {
    return scope.initResult;
  }
  int result = Ok;
  {
    SigningResources held;
    held.store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                               CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG,
                               storeName.empty() ? L"My" : storeName.c_str());
    if (held.store == nullptr) {
      traceResult(L"CertOpenStore: Access denied", Ok, 0);
      result = StoreAccessFailed;
    } else {
      result = signWithStore(held.store, &held.certificate, documents, returnSignatureOnly,
                             thumbprint, password, results);
    }
  }
  if (result != Ok) {
    traceResult(L"ошибка подписания документа", result, 0);
  }
  return result;
}

int VektQuilletImpl::signWithStore(HCERTSTORE store, PCCERT_CONTEXT* certificate,
                                   const std::vector<std::wstring>& documents,
                                   int returnSignatureOnly, const std::wstring& thumbprint,
                                   const wchar_t* password, std::vector<std::wstring>& results) {
  traceResult(L"Store opened", Ok, 0);
  int result = Ok;
  if (!thumbprint.empty()) {
    result = findByThumbprint(store, thumbprint, certificate);
  } else {
    traceResult(L"Prompt user for certificate", Ok, 0);
    result = promptUserForCertificate(store, certificate);
  }
  if (result != Ok) {
    return result;
  }

  traceResult(L"> CheckIfCertificateValid", Ok, 0);
  result = CheckIfCertificateValid(*certificate);
  traceResult(L"< CheckIfCertificateValid", result, 0);
  if (result != Ok && result != RevocationCheckFailed) {
    return result;
  }

  SignerHandles handles(*this);
  traceResult(L"> PreparePrivateKey", Ok, 0);
  result = PreparePrivateKey(&trace, &handles.key, *certificate, password);
  if (result != Ok) {
    traceResult(L"невозможно использовать ключ для подписания", result, 0);
    return result;
  }
  traceResult(L"< PreparePrivateKey", Ok, 0);

  traceResult(L"> CreateSignatureTemplate", Ok, 0);
  result = CreateSignatureTemplate(&trace, *certificate, &handles.signatureTemplate);
  if (result != Ok) {
    traceResult(L"CreateSignatureTemplate failed", result, 0);
    return result;
  }
  traceResult(L"< CreateSignatureTemplate", Ok, 0);

  for (const std::wstring& document : documents) {
    traceResult(L">Sign", Ok, 0);
    wchar_t* signedText = nullptr;
    result = Sign(&trace, handles.key, handles.signatureTemplate, returnSignatureOnly != 0,
                  document.c_str(), &signedText);
    if (result != Ok) {
      return result;
    }
    traceResult(L"<Sign", Ok, 0);
    std::unique_ptr<wchar_t, decltype(FreeXmlBuffer)> owned(signedText, FreeXmlBuffer);
    results.emplace_back(owned.get());
  }
  return Ok;
}
