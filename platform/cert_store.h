// Certificate stores: CertOpenStore, CertCloseStore, CertEnumCertificatesInStore and
// CertFindCertificateInStore.
//
// On Linux a system store of the current user is the directory
// ${XDG_DATA_HOME:-$HOME/.local/share}/tavlin.quillet/stores/<StoreName>/ (names match
// case-insensitively). Each certificate is a file in it: DER (.cer) or PEM (.pem, .crt;
// the first certificate of the file), read when the store is opened, in file name order;
// files that hold no certificate are skipped, and a certificate already read (same SHA-1)
// is not read twice. Beside a certificate <stem>.cer, <stem>.key is its private key
// container (PKCS#8 PEM, platform/key_container.h) and <stem>.name its friendly name
// (UTF-8, one line). An open store is a snapshot: later changes of the directory are seen
// by the next CertOpenStore.
//
// Implemented: provider CERT_STORE_PROV_SYSTEM_W with CERT_SYSTEM_STORE_CURRENT_USER, read
// only (CERT_STORE_READONLY_FLAG, CERT_STORE_OPEN_EXISTING_FLAG accepted; without the
// read-only flag the store is read as well and nothing is ever written). Find types
// CERT_FIND_ANY and CERT_FIND_SHA1_HASH.
//
// Error codes: ERROR_ACCESS_DENIED (store path exists but is not a readable directory),
// ERROR_FILE_NOT_FOUND (other provider), E_INVALIDARG (other location, no name, bad
// handle or find type), CRYPT_E_NOT_FOUND (end of enumeration, nothing found),
// CRYPT_E_PENDING_CLOSE (CERT_CLOSE_STORE_CHECK_FLAG with contexts still held).
#pragma once

#include "platform/api.h"
#include "platform/crypt_types.h"

#define CERT_STORE_PROV_SYSTEM_W ((LPCSTR)10)
#define CERT_STORE_PROV_SYSTEM CERT_STORE_PROV_SYSTEM_W

#define CERT_SYSTEM_STORE_LOCATION_SHIFT 16
#define CERT_SYSTEM_STORE_LOCATION_MASK 0x00FF0000
#define CERT_SYSTEM_STORE_CURRENT_USER_ID 1
#define CERT_SYSTEM_STORE_LOCAL_MACHINE_ID 2
#define CERT_SYSTEM_STORE_CURRENT_USER \
  (CERT_SYSTEM_STORE_CURRENT_USER_ID << CERT_SYSTEM_STORE_LOCATION_SHIFT)
#define CERT_SYSTEM_STORE_LOCAL_MACHINE \
  (CERT_SYSTEM_STORE_LOCAL_MACHINE_ID << CERT_SYSTEM_STORE_LOCATION_SHIFT)
#define CERT_STORE_OPEN_EXISTING_FLAG 0x00004000
#define CERT_STORE_READONLY_FLAG 0x00008000

#define CERT_CLOSE_STORE_FORCE_FLAG 0x00000001
#define CERT_CLOSE_STORE_CHECK_FLAG 0x00000002

#define CERT_COMPARE_SHIFT 16
#define CERT_COMPARE_ANY 0
#define CERT_COMPARE_SHA1_HASH 1
#define CERT_FIND_ANY (CERT_COMPARE_ANY << CERT_COMPARE_SHIFT)
#define CERT_FIND_SHA1_HASH (CERT_COMPARE_SHA1_HASH << CERT_COMPARE_SHIFT)
#define CERT_FIND_HASH CERT_FIND_SHA1_HASH

// Opens a system store of the current user named by pvPara (NUL-terminated UTF-16).
// A store that does not exist opens empty and nothing is created. A path that exists but
// cannot be read as a directory fails with ERROR_ACCESS_DENIED. dwEncodingType and
// hCryptProv are ignored. Returns NULL with the error on failure.
QUILLET_API HCERTSTORE WINAPI CertOpenStore(LPCSTR lpszStoreProvider, DWORD dwEncodingType,
                                            HCRYPTPROV_LEGACY hCryptProv, DWORD dwFlags,
                                            const void* pvPara);

// Closes a handle. Contexts taken from the store stay valid until freed. NULL is accepted.
// With CERT_CLOSE_STORE_CHECK_FLAG, returns FALSE with CRYPT_E_PENDING_CLOSE when contexts
// of the store are still held (the handle is closed all the same). FORCE is treated like
// 0: contexts still held stay valid. An unknown handle: FALSE, E_INVALIDARG.
QUILLET_API BOOL WINAPI CertCloseStore(HCERTSTORE hCertStore, DWORD dwFlags);

// Returns the store's first certificate (pPrevCertContext NULL) or the one after
// pPrevCertContext, as a new reference. pPrevCertContext, when not NULL, is always freed.
// At the end or on an empty store: NULL with CRYPT_E_NOT_FOUND. A previous context of
// another store: NULL with E_INVALIDARG.
QUILLET_API PCCERT_CONTEXT WINAPI CertEnumCertificatesInStore(HCERTSTORE hCertStore,
                                                              PCCERT_CONTEXT pPrevCertContext);

// Returns the next certificate after pPrevCertContext (or from the start) that matches,
// as a new reference. CERT_FIND_SHA1_HASH: pvFindPara is a CRYPT_HASH_BLOB with the 20
// hash bytes (any other size matches nothing). CERT_FIND_ANY: every certificate.
// dwCertEncodingType and dwFindFlags are ignored. pPrevCertContext, when not NULL, is
// always freed. Nothing found: NULL with CRYPT_E_NOT_FOUND.
QUILLET_API PCCERT_CONTEXT WINAPI CertFindCertificateInStore(HCERTSTORE hCertStore,
                                                             DWORD dwCertEncodingType,
                                                             DWORD dwFindFlags, DWORD dwFindType,
                                                             const void* pvFindPara,
                                                             PCCERT_CONTEXT pPrevCertContext);
