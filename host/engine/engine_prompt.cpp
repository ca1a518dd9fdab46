// VektQuilletImpl::promptCertificate: the user picks a certificate of a store in the
// selection dialog; the answer is its thumbprint and its owner's name.
#include "host/certs/certificate_prompt.h"
#include "host/engine/impl_call_scope.h"
#include "host/engine/vekt_quillet_impl.h"
#include "host/trace.h"

namespace {

// Runs the dialog over the open store and reads the chosen certificate's texts; the chosen
// certificate is released whatever the readers give.
int promptFromStore(HCERTSTORE store, std::wstring& thumbprint, std::wstring& owner) {
  PCCERT_CONTEXT certificate = nullptr;
  int result = promptUserForCertificate(store, &certificate);
  if (result != Ok) {
    return result;
  }
  result = GetCertificateThumbprint(certificate, &thumbprint);
  if (result == Ok) {
    result = GetCertificateOwner(certificate, &owner);
  }
  CertFreeCertificateContext(certificate);
  return result;
}

}  // namespace

int VektQuilletImpl::promptCertificate(std::wstring storeName, std::wstring& thumbprint,
                                       std::wstring& owner) {
  ImplCallScope scope(*this, L"promptCertificate");
  if (scope.initResult != Ok) {
    return scope.initResult;
  }
  const wchar_t* name = storeName.empty() ? L"My" : storeName.c_str();
  HCERTSTORE store =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                    CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, name);
  int result = Ok;
  if (store == nullptr) {
    traceResult(L"VektQuilletImpl::promptCertificate: Store access denied", Ok, 0);
    result = StoreAccessFailed;
  } else {
    result = promptFromStore(store, thumbprint, owner);
    CertCloseStore(store, 0);
  }
  if (result != Ok) {
    traceResult(L"Ошибка запроса сертификата", result, 0);
  }
  return result;
}
