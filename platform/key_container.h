// Private key containers: CryptAcquireCertificatePrivateKey, CryptSetProvParam and
// CryptReleaseContext.
//
// On Linux a certificate's key container is the PKCS#8 PEM file <stem>.key beside the
// certificate in its store (platform/cert_store.h); a context without one has no key. An
// encrypted container ("ENCRYPTED PRIVATE KEY") is unlocked by its PIN, given with
// CryptSetProvParam(PP_KEYEXCHANGE_PIN or PP_SIGNATURE_PIN): that is where the PIN is
// checked, and a wrong one fails there with SCARD_W_WRONG_CHV, as a smart-card provider
// does. A PIN given to an unencrypted container is accepted and changes nothing. There is
// no retry counter (SCARD_W_CHV_BLOCKED is never set). Linux code reaches the key itself
// through platform/key_container_linux.h.
//
// Error codes: CRYPT_E_NO_KEY_PROPERTY (the certificate has no container), NTE_BAD_KEYSET
// (the container cannot be read, or an unencrypted one holds no key), NTE_BAD_UID (not a
// handle of this library), NTE_BAD_TYPE (other parameter), NTE_BAD_DATA (no PIN text),
// NTE_BAD_FLAGS, SCARD_W_WRONG_CHV, E_INVALIDARG.
#pragma once

#include "platform/api.h"
#include "platform/crypt_types.h"

#define AT_KEYEXCHANGE 1
#define AT_SIGNATURE 2
#define CERT_NCRYPT_KEY_SPEC 0xFFFFFFFF

#define PP_KEYEXCHANGE_PIN 32
#define PP_SIGNATURE_PIN 33

#define CRYPT_ACQUIRE_CACHE_FLAG 0x00000001
#define CRYPT_ACQUIRE_USE_PROV_INFO_FLAG 0x00000002
#define CRYPT_ACQUIRE_COMPARE_KEY_FLAG 0x00000004
#define CRYPT_ACQUIRE_NO_HEALING 0x00000008
#define CRYPT_ACQUIRE_SILENT_FLAG 0x00000040

#define SCARD_W_WRONG_CHV ((DWORD)0x8010006BL)
#define SCARD_W_CHV_BLOCKED ((DWORD)0x8010006CL)

// Opens the certificate's key container. On success: TRUE, *phCryptProvOrNCryptKey the
// container handle, *pdwKeySpec AT_KEYEXCHANGE, *pfCallerFreeProvOrNCryptKey TRUE (the
// caller releases it with CryptReleaseContext) or, with CRYPT_ACQUIRE_CACHE_FLAG, FALSE:
// the handle is then kept with the context (the same one for every cached acquire, PIN
// state included) and released with it. The other flags are accepted and ignored; the
// key is never compared with the certificate here. Failure: FALSE and the error (see
// above).
QUILLET_API BOOL WINAPI
CryptAcquireCertificatePrivateKey(PCCERT_CONTEXT pCert, DWORD dwFlags, void* pvParameters,
                                  HCRYPTPROV_OR_NCRYPT_KEY_HANDLE* phCryptProvOrNCryptKey,
                                  DWORD* pdwKeySpec, BOOL* pfCallerFreeProvOrNCryptKey);

// Sets a container parameter. PP_KEYEXCHANGE_PIN / PP_SIGNATURE_PIN: pbData is the
// NUL-terminated PIN; an encrypted container is unlocked with it (TRUE) or refuses it
// (FALSE, SCARD_W_WRONG_CHV; a container unlocked before is locked again). dwFlags must
// be 0.
QUILLET_API BOOL WINAPI CryptSetProvParam(HCRYPTPROV hProv, DWORD dwParam, const BYTE* pbData,
                                          DWORD dwFlags);

// Releases a container handle (one reference). dwFlags must be 0 (else NTE_BAD_FLAGS,
// and the handle is still released). Unknown handle: FALSE, NTE_BAD_UID.
QUILLET_API BOOL WINAPI CryptReleaseContext(HCRYPTPROV hProv, DWORD dwFlags);
