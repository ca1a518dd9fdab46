// VektQuilletImpl::sign: one certificate, one key and one template for every document of
// a request, signed in order; the first failure ends the request.
#include <memory>

#include "host/certs/binary_text.h"
#include "host/certs/certificate_checks.h"
#include "host/certs/certificate_prompt.h"
#include "host/certs/user_store.h"
#include "host/engine/impl_call_scope.h"
#include "host/engine/step_trace.h"
#include "host/engine/vekt_quillet_impl.h"
#include "host/escaped_value.h"
#include "host/scoped_capi.h"
#include "host/trace.h"

namespace quillet::host {

namespace {

constexpr DWORD kCertificateEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

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
                     ScopedPCCERT_CONTEXT* certificate) {
  traceResult(L"Sign using certificate: " + escapedValue(thumbprint), Ok, 0);
  BYTE* hash = nullptr;
  DWORD hashSize = 0;
  const int converted = StringToBinary(thumbprint, CRYPT_STRING_HEX_ANY, &hash, &hashSize);
  const ScopedMallocBlock<BYTE> ownedHash(hash);
  if (converted != Ok) {
    // "StrngToBinary" (sic) is kept on purpose: the trace has always carried it and log
    // readers search for the line as it is.
    traceResult(L"Error calling StrngToBinary", converted, 0);
    return converted;
  }
  CRYPT_HASH_BLOB blob{hashSize, hash};
  certificate->reset(CertFindCertificateInStore(store, kCertificateEncoding, 0, CERT_FIND_SHA1_HASH,
                                                &blob, nullptr));
  const DWORD error = GetLastError();
  if (*certificate == nullptr) {
    traceResult(L"Error: ", CertificateNotFound, error);
    return CertificateNotFound;
  }
  return Ok;
}

// Finds the signer's certificate by thumbprint, or lets the user choose it when there is
// none.
int findSigner(HCERTSTORE store, const std::wstring& thumbprint,
               ScopedPCCERT_CONTEXT* certificate) {
  if (!thumbprint.empty()) {
    return findByThumbprint(store, thumbprint, certificate);
  }
  traceResult(L"Prompt user for certificate", Ok, 0);
  PCCERT_CONTEXT chosen = nullptr;
  const int result = promptUserForCertificate(store, &chosen);
  certificate->reset(chosen);
  return result;
}

// Prepares the certificate's private key and the signature template into `handles`.
int prepareSigner(const VektQuilletImpl& engine, PCCERT_CONTEXT certificate,
                  const wchar_t* password, SignerHandles& handles) {
  const StepTrace prepare(L"PreparePrivateKey");
  int result =
      prepare.closeOrReport(engine.PreparePrivateKey(&trace, &handles.key, certificate, password),
                            L"невозможно использовать ключ для подписания");
  if (result != Ok) {
    return result;
  }
  const StepTrace create(L"CreateSignatureTemplate");
  return create.closeOrReport(
      engine.CreateSignatureTemplate(&trace, certificate, &handles.signatureTemplate),
      L"CreateSignatureTemplate failed");
}

// Signs each document in order into `results`; the first failure ends it.
int signEach(const VektQuilletImpl& engine, const SignerHandles& handles,
             const std::vector<std::wstring>& documents, int returnSignatureOnly,
             std::vector<std::wstring>& results) {
  for (const std::wstring& document : documents) {
    const StepTrace signing(L"Sign", /*gap=*/L"");
    wchar_t* signedText = nullptr;
    const int result =
        signing.closeOrReport(engine.Sign(&trace, handles.key, handles.signatureTemplate,
                                          returnSignatureOnly != 0, document.c_str(), &signedText),
                              /*failureLine=*/nullptr);
    if (result != Ok) {
      return result;
    }
    std::unique_ptr<wchar_t, decltype(engine.FreeXmlBuffer)> owned(signedText,
                                                                   engine.FreeXmlBuffer);
    results.emplace_back(owned.get());
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
  // The store and the certificate are released inside signWithStore, before the failure
  // line and before the scope shuts the library down.
  const int result =
      signWithStore(storeName, documents, returnSignatureOnly, thumbprint, password, results);
  if (result != Ok) {
    traceResult(L"ошибка подписания документа", result, 0);
  }
  return result;
}

int VektQuilletImpl::signWithStore(const std::wstring& storeName,
                                   const std::vector<std::wstring>& documents,
                                   int returnSignatureOnly, const std::wstring& thumbprint,
                                   const wchar_t* password, std::vector<std::wstring>& results) {
  // Declared in this order, the key and template go first, then the certificate, then its
  // store. Either of the last two orders would be safe (a context keeps its store open
  // until it is freed, on both platforms); the key and template may still refer to the
  // certificate, so they must go before it.
  const ScopedHCERTSTORE store = openUserStore(storeName);
  if (store == nullptr) {
    traceResult(L"CertOpenStore: Access denied", Ok, 0);
    return StoreAccessFailed;
  }
  traceResult(L"Store opened", Ok, 0);
  ScopedPCCERT_CONTEXT certificate;
  int result = findSigner(store.get(), thumbprint, &certificate);
  if (result != Ok) {
    return result;
  }
  const StepTrace check(L"CheckIfCertificateValid");
  result = check.close(CheckIfCertificateValid(certificate.get()));
  if (result != Ok && result != RevocationCheckFailed) {
    return result;
  }
  SignerHandles handles(*this);
  result = prepareSigner(*this, certificate.get(), password, handles);
  if (result != Ok) {
    return result;
  }
  return signEach(*this, handles, documents, returnSignatureOnly, results);
}

}  // namespace quillet::host
