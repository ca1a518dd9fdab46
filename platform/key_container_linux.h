// Linux only: the private key behind a key container (platform/key_container.h), for the
// signature library's OpenSSL back end. Included only by Linux-only files.
#pragma once

#include <openssl/types.h>

#include "platform/api.h"
#include "platform/key_container.h"

// Returns a new reference to the container's private key (the caller frees it with
// EVP_PKEY_free): an unencrypted container's key, or an encrypted one's once its PIN was
// accepted by CryptSetProvParam. Returns NULL with SCARD_W_WRONG_CHV for an encrypted
// container without an accepted PIN, and with NTE_BAD_UID for an unknown handle.
// Exported from the platform library and called by the signature library: its name is
// part of the library's C interface and keeps its spelling.
QUILLET_API EVP_PKEY* QuilletKeyContainerGetKey(HCRYPTPROV prov);
