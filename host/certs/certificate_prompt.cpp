#include "host/certs/certificate_prompt.h"

#include <array>
#include <cstdlib>
#include <vector>

#include "host/certs/binary_text.h"
#include "host/certs/certificate_checks.h"
#include "host/host_platform.h"
#include "host/parent_window.h"
#include "host/result_codes.h"
#include "host/scoped_capi.h"
#include "host/trace.h"

namespace quillet::host {

namespace {

constexpr size_t kSelectionSlots = 256;
const wchar_t kDialogTitle[] = L"Укажите сертификат для формирования подписи";

using SelectCertificateFunction = BOOL(WINAPI*)(PCERT_SELECT_STRUCT_W);

// Runs the dialog over `store` with the store's first certificate in slot 0.
int runDialog(HCERTSTORE store, SelectCertificateFunction select,
              std::array<PCCERT_CONTEXT, kSelectionSlots>& slots, PCCERT_CONTEXT* certificate) {
  CERT_SELECT_STRUCT_W parameters{};
  parameters.dwSize = sizeof(parameters);
  parameters.hwndParent = reinterpret_cast<HWND>(static_cast<std::intptr_t>(parentWindowHandle));
  parameters.szTitle = kDialogTitle;
  parameters.cCertStore = 1;
  parameters.arrayCertStore = &store;
  parameters.cCertContext = 1;
  parameters.arrayCertContext = slots.data();
  parameters.pfnFilter = &filterCertificate;
  if (!select(&parameters)) {
    // "canсelled" with a Cyrillic "с" (U+0441) is kept on purpose: the trace has always
    // carried it, and the tests and log readers compare the line letter for letter.
    trace(L"promptUserForCertificate: canсelled by user", CancelledByUser, 0);
    return CancelledByUser;
  }
  // A confirmed dialog that left no certificate in slot 0 chose nothing, whatever count
  // it reported.
  if (parameters.cCertContext == 0 || slots[0] == nullptr) {
    // "canselled" (sic, all Latin) is kept on purpose too: it is this line's text since the
    // first release, and tests and log readers compare it letter for letter.
    trace(L"promptUserForCertificate: canselled by user", CancelledByUser, 0);
    return CancelledByUser;
  }
  *certificate = slots[0];
  slots[0] = nullptr;
  trace(L"promptUserForCertificate: got certificate", Ok, 0);
  return Ok;
}

int promptWithFirst(HCERTSTORE store, std::array<PCCERT_CONTEXT, kSelectionSlots>& slots,
                    PCCERT_CONTEXT* certificate) {
  const ScopedHMODULE dialog(LoadLibraryW(dialogLibraryName()));
  if (dialog == nullptr) {
    trace(L"promptUserForCertificate: can't load cryptdlg.dll", CryptDlgLoadFailed, GetLastError());
    return CryptDlgLoadFailed;
  }
  // Through void*: FARPROC's own function type differs from the dialog's on Windows.
  auto select = reinterpret_cast<SelectCertificateFunction>(
      reinterpret_cast<void*>(GetProcAddress(dialog.get(), "CertSelectCertificateW")));
  if (select == nullptr) {
    trace(L"promptUserForCertificate: can't bind CertSelectCertificate", CertSelectMissing,
          GetLastError());
    return CertSelectMissing;
  }
  // The library is released after the dialog has returned (by the owner).
  return runDialog(store, select, slots, certificate);
}

}  // namespace

int promptUserForCertificate(HCERTSTORE store, PCCERT_CONTEXT* certificate) {
  trace(L">>> promptUserForCertificate", Ok, 0);
  std::array<PCCERT_CONTEXT, kSelectionSlots> slots{};
  slots[0] = CertEnumCertificatesInStore(store, nullptr);
  int result = Ok;
  if (slots[0] == nullptr) {
    trace(L"promptUserForCertificate: has no certificates", NoCertificatesInStore, GetLastError());
    result = NoCertificatesInStore;
  } else {
    result = promptWithFirst(store, slots, certificate);
    // Whatever the dialog left in slot 0 without handing it out is ours to release.
    const ScopedPCCERT_CONTEXT leftInSlot(slots[0]);
  }
  trace(L"<<< promptUserForCertificate", result, 0);
  return result;
}

int GetCertificateThumbprint(PCCERT_CONTEXT certificate, std::wstring* thumbprint) {
  DWORD size = 0;
  if (!CertGetCertificateContextProperty(certificate, CERT_SHA1_HASH_PROP_ID, nullptr, &size)) {
    return PropertyMissing;
  }
  const ScopedMallocBlock<BYTE> hash(static_cast<BYTE*>(std::malloc(size)));
  if (hash == nullptr) {
    return OutOfMemory;
  }
  if (!CertGetCertificateContextProperty(certificate, CERT_SHA1_HASH_PROP_ID, hash.get(), &size)) {
    return PropertyMissing;
  }
  return BinaryToString(hash.get(), size, thumbprint);
}

int GetCertificateOwner(PCCERT_CONTEXT certificate, std::wstring* owner) {
  const DWORD length =
      CertGetNameStringW(certificate, CERT_NAME_FRIENDLY_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
  std::vector<wchar_t> name;
  try {
    name.assign(length, L'\0');
  } catch (const std::bad_alloc&) {
    return OutOfMemory;
  }
  CertGetNameStringW(certificate, CERT_NAME_FRIENDLY_DISPLAY_TYPE, 0, nullptr, name.data(), length);
  *owner = std::wstring(name.data());
  return Ok;
}

}  // namespace quillet::host
