// The CryptoAPI data types the code reads (wincrypt.h layout and names): blobs, algorithm
// identifiers, CERT_INFO and CERT_CONTEXT, handle types, encoding types, and the
// CryptoAPI error codes the certificate and key stand-ins set.
//
// CERT_INFO of a context made by this library is filled whole: version, serial number
// (little-endian, as CryptoAPI keeps it), signature algorithm (numeric OID text and DER
// parameters), issuer and subject (DER Name), validity (FILETIME, UTC), public key info
// (algorithm OID, DER parameters, key bits) and every extension (OID, critical flag, DER
// value). Unique ids are empty. All of it lives as long as the context.
#pragma once

#include "platform/file_time.h"
#include "platform/win_types.h"

using HCRYPTPROV = ULONG_PTR;
using HCRYPTPROV_LEGACY = ULONG_PTR;
using HCRYPTPROV_OR_NCRYPT_KEY_HANDLE = ULONG_PTR;
using HCERTSTORE = void*;
using HRESULT = LONG;

typedef struct _CRYPTOAPI_BLOB {
  DWORD cbData;
  BYTE* pbData;
} CRYPT_INTEGER_BLOB, *PCRYPT_INTEGER_BLOB, CRYPT_UINT_BLOB, *PCRYPT_UINT_BLOB, CRYPT_OBJID_BLOB,
    *PCRYPT_OBJID_BLOB, CERT_NAME_BLOB, *PCERT_NAME_BLOB, CERT_RDN_VALUE_BLOB,
    *PCERT_RDN_VALUE_BLOB, CERT_BLOB, *PCERT_BLOB, CRL_BLOB, *PCRL_BLOB, DATA_BLOB, *PDATA_BLOB,
    CRYPT_DATA_BLOB, *PCRYPT_DATA_BLOB, CRYPT_HASH_BLOB, *PCRYPT_HASH_BLOB, CRYPT_DIGEST_BLOB,
    *PCRYPT_DIGEST_BLOB, CRYPT_DER_BLOB, *PCRYPT_DER_BLOB, CRYPT_ATTR_BLOB, *PCRYPT_ATTR_BLOB;

typedef struct _CRYPT_ALGORITHM_IDENTIFIER {
  LPSTR pszObjId;
  CRYPT_OBJID_BLOB Parameters;
} CRYPT_ALGORITHM_IDENTIFIER, *PCRYPT_ALGORITHM_IDENTIFIER;

typedef struct _CRYPT_BIT_BLOB {
  DWORD cbData;
  BYTE* pbData;
  DWORD cUnusedBits;
} CRYPT_BIT_BLOB, *PCRYPT_BIT_BLOB;

typedef struct _CERT_PUBLIC_KEY_INFO {
  CRYPT_ALGORITHM_IDENTIFIER Algorithm;
  CRYPT_BIT_BLOB PublicKey;
} CERT_PUBLIC_KEY_INFO, *PCERT_PUBLIC_KEY_INFO;

typedef struct _CERT_EXTENSION {
  LPSTR pszObjId;
  BOOL fCritical;
  CRYPT_OBJID_BLOB Value;
} CERT_EXTENSION, *PCERT_EXTENSION;
typedef const CERT_EXTENSION* PCCERT_EXTENSION;

typedef struct _CERT_INFO {
  DWORD dwVersion;
  CRYPT_INTEGER_BLOB SerialNumber;
  CRYPT_ALGORITHM_IDENTIFIER SignatureAlgorithm;
  CERT_NAME_BLOB Issuer;
  FILETIME NotBefore;
  FILETIME NotAfter;
  CERT_NAME_BLOB Subject;
  CERT_PUBLIC_KEY_INFO SubjectPublicKeyInfo;
  CRYPT_BIT_BLOB IssuerUniqueId;
  CRYPT_BIT_BLOB SubjectUniqueId;
  DWORD cExtension;
  PCERT_EXTENSION rgExtension;
} CERT_INFO, *PCERT_INFO;

typedef struct _CERT_CONTEXT {
  DWORD dwCertEncodingType;
  BYTE* pbCertEncoded;
  DWORD cbCertEncoded;
  PCERT_INFO pCertInfo;
  HCERTSTORE hCertStore;
} CERT_CONTEXT, *PCERT_CONTEXT;
typedef const CERT_CONTEXT* PCCERT_CONTEXT;

// Encoding types.
#define CRYPT_ASN_ENCODING 0x00000001
#define X509_ASN_ENCODING 0x00000001
#define PKCS_7_ASN_ENCODING 0x00010000

// Certificate versions (CERT_INFO::dwVersion).
#define CERT_V1 0
#define CERT_V2 1
#define CERT_V3 2

// Object identifiers the code names.
#define szOID_COMMON_NAME "2.5.4.3"
#define szOID_SUR_NAME "2.5.4.4"
#define szOID_COUNTRY_NAME "2.5.4.6"
#define szOID_LOCALITY_NAME "2.5.4.7"
#define szOID_STATE_OR_PROVINCE_NAME "2.5.4.8"
#define szOID_ORGANIZATION_NAME "2.5.4.10"
#define szOID_ORGANIZATIONAL_UNIT_NAME "2.5.4.11"
#define szOID_TITLE "2.5.4.12"
#define szOID_GIVEN_NAME "2.5.4.42"
#define szOID_RSA_emailAddr "1.2.840.113549.1.9.1"
#define szOID_KEY_USAGE "2.5.29.15"
#define szOID_SUBJECT_ALT_NAME2 "2.5.29.17"
#define szOID_BASIC_CONSTRAINTS2 "2.5.29.19"
#define szOID_CRL_DIST_POINTS "2.5.29.31"
#define szOID_CRL_REASON_CODE "2.5.29.21"
#define szOID_RSA_RSA "1.2.840.113549.1.1.1"
#define szOID_RSA_SHA256RSA "1.2.840.113549.1.1.11"
#define szOID_CP_GOST_R3410EL "1.2.643.2.2.19"
#define szOID_CP_GOST_R3410_12_256 "1.2.643.7.1.1.1.1"
#define szOID_CP_GOST_R3410_12_512 "1.2.643.7.1.1.1.2"
#define szOID_CP_GOST_R3411_R3410 "1.2.643.2.2.4"
#define szOID_CP_GOST_R3411_R3410EL "1.2.643.2.2.3"
#define szOID_CP_GOST_R3411_12_256_R3410 "1.2.643.7.1.1.3.2"
#define szOID_CP_GOST_R3411_12_512_R3410 "1.2.643.7.1.1.3.3"

// Error codes of the certificate and key stand-ins (HRESULT values, kept as the last
// error like on Windows).
#define E_INVALIDARG ((DWORD)0x80070057L)
#define NTE_BAD_UID ((DWORD)0x80090001L)
#define NTE_BAD_DATA ((DWORD)0x80090005L)
#define NTE_BAD_FLAGS ((DWORD)0x80090009L)
#define NTE_BAD_TYPE ((DWORD)0x8009000AL)
#define NTE_NO_KEY ((DWORD)0x8009000DL)
#define NTE_BAD_KEYSET ((DWORD)0x80090016L)
#define CRYPT_E_NOT_FOUND ((DWORD)0x80092004L)
#define CRYPT_E_NO_KEY_PROPERTY ((DWORD)0x8009200BL)
#define CRYPT_E_PENDING_CLOSE ((DWORD)0x8009200FL)
#define CRYPT_E_ASN1_EOD ((DWORD)0x80093102L)
#define CRYPT_E_ASN1_BADTAG ((DWORD)0x8009310BL)
