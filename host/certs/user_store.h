// The current user's system certificate stores, as the engine opens them.
#pragma once

#include <string>

#include "host/scoped_capi.h"

namespace quillet::host {

// Opens the current user's system store `storeName` ("My" when empty) read-only; null when
// it cannot be opened (GetLastError tells why).
ScopedHCERTSTORE openUserStore(const std::wstring& storeName);

}  // namespace quillet::host
