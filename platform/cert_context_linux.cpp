#include "platform/cert_context.h"

#include <cstring>
#include <vector>

#include "platform/cert_data_linux.h"
#include "platform/last_error.h"
#include "platform/utf16_linux.h"

using quillet::platform::CertData;

namespace {

// Copies `size` bytes out under the property rules of CertGetCertificateContextProperty.
BOOL copyProperty(const void* bytes, DWORD size, void* out, DWORD* outSize) {
  if (out == nullptr) {
    *outSize = size;
    return TRUE;
  }
  if (*outSize < size) {
    *outSize = size;
    SetLastError(ERROR_MORE_DATA);
    return FALSE;
  }
  std::memcpy(out, bytes, size);
  *outSize = size;
  return TRUE;
}

// CRYPT_KEY_PROV_INFO followed by its two strings, in one buffer as CryptoAPI returns it.
BOOL copyKeyProvInfo(const CertData& data, void* out, DWORD* outSize) {
  std::wstring container;
  if (data.keyPath.empty() || !quillet::platform::wideFromUtf8(data.keyPath, &container)) {
    SetLastError(CRYPT_E_NOT_FOUND);
    return FALSE;
  }
  const std::wstring provider = QUILLET_KEY_PROVIDER_NAME_W;
  const std::size_t containerBytes = (container.size() + 1) * sizeof(wchar_t);
  const std::size_t providerBytes = (provider.size() + 1) * sizeof(wchar_t);
  const auto size =
      static_cast<DWORD>(sizeof(CRYPT_KEY_PROV_INFO) + containerBytes + providerBytes);
  if (out == nullptr || *outSize < size) {
    *outSize = size;
    if (out == nullptr) return TRUE;
    SetLastError(ERROR_MORE_DATA);
    return FALSE;
  }
  auto* info = static_cast<CRYPT_KEY_PROV_INFO*>(out);
  auto* strings = reinterpret_cast<wchar_t*>(info + 1);
  std::memcpy(strings, container.c_str(), containerBytes);
  std::memcpy(strings + container.size() + 1, provider.c_str(), providerBytes);
  *info = CRYPT_KEY_PROV_INFO{};
  info->pwszContainerName = strings;
  info->pwszProvName = strings + container.size() + 1;
  info->dwKeySpec = 1;  // AT_KEYEXCHANGE
  *outSize = size;
  return TRUE;
}

}  // namespace

PCCERT_CONTEXT CertCreateCertificateContext(DWORD dwCertEncodingType, const BYTE* pbCertEncoded,
                                            DWORD cbCertEncoded) {
  if ((dwCertEncodingType & X509_ASN_ENCODING) == 0 || pbCertEncoded == nullptr ||
      cbCertEncoded == 0) {
    SetLastError(E_INVALIDARG);
    return nullptr;
  }
  auto data = quillet::platform::makeCertData(pbCertEncoded, cbCertEncoded);
  if (data == nullptr) {
    SetLastError(CRYPT_E_ASN1_BADTAG);
    return nullptr;
  }
  data->block.context.dwCertEncodingType = dwCertEncodingType;
  return &data.release()->block.context;
}

PCCERT_CONTEXT CertDuplicateCertificateContext(PCCERT_CONTEXT pCertContext) {
  if (pCertContext != nullptr)
    quillet::platform::retainContext(quillet::platform::dataOf(pCertContext));
  return pCertContext;
}

BOOL CertFreeCertificateContext(PCCERT_CONTEXT pCertContext) {
  if (pCertContext != nullptr)
    quillet::platform::releaseContext(quillet::platform::dataOf(pCertContext));
  return TRUE;
}

BOOL CertGetCertificateContextProperty(PCCERT_CONTEXT pCertContext, DWORD dwPropId, void* pvData,
                                       DWORD* pcbData) {
  if (pCertContext == nullptr || pcbData == nullptr) {
    SetLastError(E_INVALIDARG);
    return FALSE;
  }
  const CertData& data = *quillet::platform::dataOf(pCertContext);
  switch (dwPropId) {
    case CERT_SHA1_HASH_PROP_ID:
      return copyProperty(data.sha1.data(), static_cast<DWORD>(data.sha1.size()), pvData, pcbData);
    case CERT_FRIENDLY_NAME_PROP_ID:
      if (!data.friendlyName.empty()) {
        const auto size = static_cast<DWORD>((data.friendlyName.size() + 1) * sizeof(wchar_t));
        return copyProperty(data.friendlyName.c_str(), size, pvData, pcbData);
      }
      break;
    case CERT_KEY_PROV_INFO_PROP_ID:
      return copyKeyProvInfo(data, pvData, pcbData);
    default:
      break;
  }
  SetLastError(CRYPT_E_NOT_FOUND);
  return FALSE;
}
