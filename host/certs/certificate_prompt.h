// The certificate selection dialog: the user picks one certificate of an open store in
// the platform's selection dialog (cryptdlg's CertSelectCertificateW, loaded by name for
// each prompt and unloaded after it), parented to the browser's window.
#pragma once

#include <string>

#include "platform/win32.h"

namespace quillet::host {

// Shows the store's certificates that pass filterCertificate and lets the user choose one.
// Returns 0 with the chosen certificate in `certificate` (the caller releases it), or 1
// (cancelled), 3 (the store is empty), 1003 (no dialog library), 1004 (no dialog entry);
// `certificate` is written only on 0.
int promptUserForCertificate(HCERTSTORE store, PCCERT_CONTEXT* certificate);

// Renders the certificate's SHA-1 hash property as the platform's CRYPT_STRING_HEX text.
// Returns 0, 9 (no hash property), 1000 or 1002; `thumbprint` is written only on 0.
int GetCertificateThumbprint(PCCERT_CONTEXT certificate, std::wstring* thumbprint);

// Reads the friendly display name of the certificate's subject. Returns 0 or 1000;
// `owner` is written only on 0.
int GetCertificateOwner(PCCERT_CONTEXT certificate, std::wstring* owner);

}  // namespace quillet::host
