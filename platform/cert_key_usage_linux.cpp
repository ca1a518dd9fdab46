#include "platform/cert_key_usage.h"

#include <cstring>

#include "platform/last_error.h"

namespace {

const CERT_EXTENSION* findExtension(const CERT_INFO& info, const char* oid) {
  for (DWORD i = 0; i < info.cExtension; ++i) {
    if (info.rgExtension[i].pszObjId != nullptr &&
        std::strcmp(info.rgExtension[i].pszObjId, oid) == 0) {
      return &info.rgExtension[i];
    }
  }
  return nullptr;
}

// Finds the content bytes of a DER BIT STRING (after its unused-bits byte). Returns 0 or
// the CryptoAPI decoding error.
DWORD bitStringContent(const CRYPT_OBJID_BLOB& value, const BYTE** bytes, DWORD* count) {
  const BYTE* der = value.pbData;
  const DWORD size = value.cbData;
  if (size < 2 || der == nullptr) return CRYPT_E_ASN1_EOD;
  if (der[0] != 0x03) return CRYPT_E_ASN1_BADTAG;
  DWORD length = der[1];
  DWORD header = 2;
  if ((length & 0x80) != 0) {
    const DWORD octets = length & 0x7F;
    if (octets == 0 || octets > 3) return CRYPT_E_ASN1_BADTAG;
    if (size < 2 + octets) return CRYPT_E_ASN1_EOD;
    length = 0;
    for (DWORD i = 0; i < octets; ++i) length = (length << 8) | der[2 + i];
    header += octets;
  }
  if (length < 1 || header + length > size) return CRYPT_E_ASN1_EOD;
  if (der[header] > 7) return CRYPT_E_ASN1_BADTAG;
  *bytes = der + header + 1;
  *count = length - 1;
  return 0;
}

}  // namespace

BOOL CertGetIntendedKeyUsage(DWORD /*dwCertEncodingType*/, PCERT_INFO pCertInfo, BYTE* pbKeyUsage,
                             DWORD cbKeyUsage) {
  if (pbKeyUsage != nullptr) std::memset(pbKeyUsage, 0, cbKeyUsage);
  if (pCertInfo == nullptr) {
    SetLastError(E_INVALIDARG);
    return FALSE;
  }
  const CERT_EXTENSION* extension = findExtension(*pCertInfo, szOID_KEY_USAGE);
  if (extension == nullptr) {
    SetLastError(0);
    return FALSE;
  }
  const BYTE* bytes = nullptr;
  DWORD count = 0;
  const DWORD error = bitStringContent(extension->Value, &bytes, &count);
  if (error != 0) {
    SetLastError(error);
    return FALSE;
  }
  if (pbKeyUsage != nullptr)
    std::memcpy(pbKeyUsage, bytes, count < cbKeyUsage ? count : cbKeyUsage);
  return TRUE;
}
