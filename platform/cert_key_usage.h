// CertGetIntendedKeyUsage: the key-usage bits of a certificate, read from the key-usage
// extension (szOID_KEY_USAGE) in CERT_INFO.
//
// With the extension: TRUE; the BIT STRING's bytes in order, unused bits not masked,
// into pbKeyUsage (at most cbKeyUsage bytes), the rest of the buffer zeroed. Without it:
// FALSE, last error 0, buffer zeroed. An extension that is not a DER BIT STRING: FALSE
// with CRYPT_E_ASN1_BADTAG (CRYPT_E_ASN1_EOD when cut short), buffer zeroed. No
// CERT_INFO: FALSE, E_INVALIDARG. dwCertEncodingType is not looked at.
#pragma once

#include "platform/api.h"
#include "platform/crypt_types.h"

// Byte 0.
#define CERT_DIGITAL_SIGNATURE_KEY_USAGE 0x80
#define CERT_NON_REPUDIATION_KEY_USAGE 0x40
#define CERT_KEY_ENCIPHERMENT_KEY_USAGE 0x20
#define CERT_DATA_ENCIPHERMENT_KEY_USAGE 0x10
#define CERT_KEY_AGREEMENT_KEY_USAGE 0x08
#define CERT_KEY_CERT_SIGN_KEY_USAGE 0x04
#define CERT_OFFLINE_CRL_SIGN_KEY_USAGE 0x02
#define CERT_CRL_SIGN_KEY_USAGE 0x02
#define CERT_ENCIPHER_ONLY_KEY_USAGE 0x01
// Byte 1.
#define CERT_DECIPHER_ONLY_KEY_USAGE 0x80

// Fills pbKeyUsage with the key-usage bytes (see above).
QUILLET_API BOOL WINAPI CertGetIntendedKeyUsage(DWORD dwCertEncodingType, PCERT_INFO pCertInfo,
                                                BYTE* pbKeyUsage, DWORD cbKeyUsage);
