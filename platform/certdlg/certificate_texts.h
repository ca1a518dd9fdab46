// The texts the selection dialog shows for one certificate, as UTF-8.
#pragma once

#include <string>

#include "platform/win32.h"

namespace quillet::certdlg {

// These four are exported from the dialog library (the dialog's tests call them through
// it), so their names are part of its symbol list and keep their UpperCamel spelling.

// Returns UTF-16 text (NUL-terminated, one unit per wchar_t) as UTF-8. NULL gives "";
// a malformed unit (lone surrogate) becomes U+FFFD so that a bad name still shows.
std::string Utf8FromUtf16(const wchar_t* text);

// Returns the subject's friendly display name (what the host reports as the owner).
std::string OwnerText(PCCERT_CONTEXT certificate);

// Returns the issuer's simple display name.
std::string IssuerText(PCCERT_CONTEXT certificate);

// Returns the last day of validity (NotAfter) as the local date "dd.mm.yyyy".
std::string ValidToText(PCCERT_CONTEXT certificate);

}  // namespace quillet::certdlg
