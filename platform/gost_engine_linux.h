// Linux only: the GOST engine of OpenSSL 3 (Debian's libengine-gost-openssl). It is loaded
// by id on first need (not at start: a request that touches no certificate never pays for
// it) and registered as the default for every algorithm it implements (GOST R 34.10-2001/
// 2012 keys and signatures, GOST R 34.11 digests, GOST ciphers), so that every module of the
// process can use GOST through OpenSSL with no OPENSSL_CONF or other set-up by the user. It
// is released at exit, before OpenSSL's own clean-up.
//
// OpenSSL decodes a certificate's, CRL's or key's GOST parameters when it parses them, and
// an object parsed while the engine is not there keeps an undecoded key for good. So every
// module calls QuilletGostEngine() before its first parse: the platform library in each of
// its parsing functions (certificate contexts, store files, CRLs, key containers), the
// signature library in InitXmlSec (every export runs inside it), the store tool before it
// parses a credential file (tools/store/credential_files.cpp).
#pragma once

#include <openssl/types.h>

#include "platform/api.h"

// Loads the GOST engine the first time (at most once per process, thread-safe; the library
// keeps the reference) and returns it, or NULL when it could not be loaded.
// Exported from the platform library and called by the other modules: its name is part of
// the library's C interface and keeps its spelling.
QUILLET_API ENGINE* QuilletGostEngine(void);
