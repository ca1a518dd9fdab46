// CertGetNameStringW: a display name of a certificate's subject or, with
// CERT_NAME_ISSUER_FLAG, its issuer.
//
// Types implemented:
// - CERT_NAME_FRIENDLY_DISPLAY_TYPE: the friendly-name property when set (subject only);
//   otherwise as CERT_NAME_SIMPLE_DISPLAY_TYPE.
// - CERT_NAME_SIMPLE_DISPLAY_TYPE: the first of CN, OU, O, emailAddress of the name (the
//   first such attribute in the encoded order); otherwise the first rfc822Name of the
//   subject (issuer) alternative name; otherwise the name's first attribute; otherwise "".
// - CERT_NAME_ATTR_TYPE: the first attribute whose OID is the text pvTypePara points at
//   (for example szOID_COMMON_NAME); "" when there is none.
// - CERT_NAME_EMAIL_TYPE: the first rfc822Name of the alternative name, else the
//   emailAddress attribute; "" when there is none.
// Any other type gives "". The name never fails: no name at all gives "".
//
// Result: the count of wchar_t units with the terminating NUL. pszNameString NULL or
// cchNameString 0: the size needed. A smaller buffer receives the first
// cchNameString - 1 units and a NUL, and the return is cchNameString.
#pragma once

#include "platform/api.h"
#include "platform/crypt_types.h"

#define CERT_NAME_EMAIL_TYPE 1
#define CERT_NAME_RDN_TYPE 2
#define CERT_NAME_ATTR_TYPE 3
#define CERT_NAME_SIMPLE_DISPLAY_TYPE 4
#define CERT_NAME_FRIENDLY_DISPLAY_TYPE 5
#define CERT_NAME_ISSUER_FLAG 0x1

// Writes the name (see above) and returns its length in units with the NUL.
QUILLET_API DWORD WINAPI CertGetNameStringW(PCCERT_CONTEXT pCertContext, DWORD dwType,
                                            DWORD dwFlags, void* pvTypePara, LPWSTR pszNameString,
                                            DWORD cchNameString);
