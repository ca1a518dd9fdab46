// VektQuilletImpl::promptCertificate: the user picks a certificate of a store in the
// selection dialog; the answer is its thumbprint and its owner's name.
#include "host/certs/certificate_prompt.h"
#include "host/certs/user_store.h"
#include "host/engine/impl_call_scope.h"
#include "host/engine/vekt_quillet_impl.h"
#include "host/scoped_capi.h"
#include "host/trace.h"

namespace quillet::host {

namespace {

// Runs the dialog over the open store and reads the chosen certificate's texts; the chosen
// certificate is released whatever the readers give.
int promptFromStore(HCERTSTORE store, std::wstring& thumbprint, std::wstring& owner) {
  PCCERT_CONTEXT chosen = nullptr;
  int result = promptUserForCertificate(store, &chosen);
  const ScopedPCCERT_CONTEXT certificate(chosen);
  if (result != Ok) {
    return result;
  }
  result = GetCertificateThumbprint(certificate.get(), &thumbprint);
  if (result == Ok) {
    result = GetCertificateOwner(certificate.get(), &owner);
  }
  return result;
}

// Opens the store and prompts in it; the store is closed before the caller traces a
// failure.
int promptInStore(const std::wstring& storeName, std::wstring& thumbprint, std::wstring& owner) {
  const ScopedHCERTSTORE store = openUserStore(storeName);
  if (store == nullptr) {
    traceResult(L"VektQuilletImpl::promptCertificate: Store access denied", Ok, 0);
    return StoreAccessFailed;
  }
  return promptFromStore(store.get(), thumbprint, owner);
}

}  // namespace

int VektQuilletImpl::promptCertificate(std::wstring storeName, std::wstring& thumbprint,
                                       std::wstring& owner) {
  ImplCallScope scope(*this, L"promptCertificate");
  if (scope.initResult != Ok) {
    return scope.initResult;
  }
  const int result = promptInStore(storeName, thumbprint, owner);
  if (result != Ok) {
    traceResult(L"Ошибка запроса сертификата", result, 0);
  }
  return result;
}

}  // namespace quillet::host
