#include "platform/cert_context.h"

#include <cstring>
#include <vector>

#include "platform/cert_data_linux.h"
#include "platform/last_error.h"
#include "platform/utf16_linux.h"

using quillet::platform::CertData;

namespace {

// Copies `size` bytes out under the property rules of CertGetCertificateContextProperty.
BOOL CopyProperty(const void* bytes, DWORD size, void* out, DWORD* out_size) {
  if (out == nullptr) {
    *out_size = size;
    return TRUE;
  }
  if (*out_size < size) {
    *out_size = size;
    SetLastError(ERROR_MORE_DATA);
    return FALSE;
  }
  std::memcpy(out, bytes, size);
  *out_size = size;
  return TRUE;
}

// CRYPT_KEY_PROV_INFO followed by its two strings, in one buffer as CryptoAPI returns it.
BOOL CopyKeyProvInfo(const CertData& data, void* out, DWORD* out_size) {
  std::wstring container;
  if (data.key_path.empty() || !quillet::platform::WideFromUtf8(data.key_path, &container)) {
    SetLastError(CRYPT_E_NOT_FOUND);
    return FALSE;
  }
  const std::wstring provider = QUILLET_KEY_PROVIDER_NAME_W;
  const std::size_t container_bytes = (container.size() + 1) * sizeof(wchar_t);
  const std::size_t provider_bytes = (provider.size() + 1) * sizeof(wchar_t);
  const auto size =
      static_cast<DWORD>(sizeof(CRYPT_KEY_PROV_INFO) + container_bytes + provider_bytes);
  if (out == nullptr || *out_size < size) {
    *out_size = size;
    if (out == nullptr) return TRUE;
    SetLastError(ERROR_MORE_DATA);
    return FALSE;
  }
  auto* info = static_cast<CRYPT_KEY_PROV_INFO*>(out);
  auto* strings = reinterpret_cast<wchar_t*>(info + 1);
  std::memcpy(strings, container.c_str(), container_bytes);
  std::memcpy(strings + container.size() + 1, provider.c_str(), provider_bytes);
  *info = CRYPT_KEY_PROV_INFO{};
  info->pwszContainerName = strings;
  info->pwszProvName = strings + container.size() + 1;
  info->dwKeySpec = 1;  // AT_KEYEXCHANGE
  *out_size = size;
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
  auto data = quillet::platform::MakeCertData(pbCertEncoded, cbCertEncoded);
  if (data == nullptr) {
    SetLastError(CRYPT_E_ASN1_BADTAG);
    return nullptr;
  }
  data->block.context.dwCertEncodingType = dwCertEncodingType;
  return &data.release()->block.context;
}

PCCERT_CONTEXT CertDuplicateCertificateContext(PCCERT_CONTEXT pCertContext) {
  if (pCertContext != nullptr)
    quillet::platform::RetainContext(quillet::platform::DataOf(pCertContext));
  return pCertContext;
}

BOOL CertFreeCertificateContext(PCCERT_CONTEXT pCertContext) {
  if (pCertContext != nullptr)
    quillet::platform::ReleaseContext(quillet::platform::DataOf(pCertContext));
  return TRUE;
}

BOOL CertGetCertificateContextProperty(PCCERT_CONTEXT pCertContext, DWORD dwPropId, void* pvData,
                                       DWORD* pcbData) {
  if (pCertContext == nullptr || pcbData == nullptr) {
    SetLastError(E_INVALIDARG);
    return FALSE;
  }
  const CertData& data = *quillet::platform::DataOf(pCertContext);
  switch (dwPropId) {
    case CERT_SHA1_HASH_PROP_ID:
      return CopyProperty(data.sha1.data(), static_cast<DWORD>(data.sha1.size()), pvData, pcbData);
    case CERT_FRIENDLY_NAME_PROP_ID:
      if (!data.friendly_name.empty()) {
        const auto size = static_cast<DWORD>((data.friendly_name.size() + 1) * sizeof(wchar_t));
        return CopyProperty(data.friendly_name.c_str(), size, pvData, pcbData);
      }
      break;
    case CERT_KEY_PROV_INFO_PROP_ID:
      return CopyKeyProvInfo(data, pvData, pcbData);
    default:
      break;
  }
  SetLastError(CRYPT_E_NOT_FOUND);
  return FALSE;
}
