// Linux only: the GOST engine of OpenSSL 3 (Debian's libengine-gost-openssl). The platform
// library loads it by id when it is loaded itself and registers it as the default for
// every algorithm it implements (GOST R 34.10-2001/2012 keys and signatures, GOST R 34.11
// digests, GOST ciphers), so that every module of the process can use GOST through
// OpenSSL with no OPENSSL_CONF or other set-up by the user. It is released at exit,
// before OpenSSL's own clean-up.
#pragma once

#include <openssl/types.h>

#include "platform/api.h"

// Returns the GOST engine (loaded at most once; the library keeps the reference), or NULL
// when it could not be loaded.
QUILLET_API ENGINE* QuilletGostEngine(void);
