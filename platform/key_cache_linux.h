// Inside the platform library on Linux: the process's cache of decoded container keys.
// Decoding a PEM key costs OpenSSL 3 its whole decoder set-up (and an encrypted one its
// PBKDF) on every request of a long-lived host; a key decoded once is kept here instead.
#pragma once

#include <functional>
#include <string>

#include "platform/openssl_owned_linux.h"

namespace quillet::platform {

// The key of the container text `pem` unlocked by `pin` (null for a container without a
// PIN): the remembered one when this very text was decoded before with this very PIN,
// otherwise what `decode` gives, remembered when it is a key. `decode` runs outside the
// cache's lock; a PIN that does not match what was remembered always goes through it.
// The PIN is never kept: only an HMAC-SHA256 of it under a random key of this process,
// compared in constant time. The text is kept with its key (wiped when it goes), at most
// a few entries, the least recently used pushed out first.
ScopedEvpPkey rememberedKey(const std::string& pem, const char* pin,
                            const std::function<ScopedEvpPkey()>& decode);

}  // namespace quillet::platform
