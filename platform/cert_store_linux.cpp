#include "platform/cert_store.h"

#include <sys/stat.h>

#include <cstring>

#include "platform/cert_context.h"
#include "platform/cert_store_data_linux.h"
#include "platform/last_error.h"
#include "platform/store_directory_linux.h"
#include "platform/utf16_linux.h"

using quillet::platform::CertData;
using quillet::platform::CertStoreData;

namespace {

// Opens the store named `name`: empty when it does not exist, null with
// ERROR_ACCESS_DENIED when it exists but is not a readable directory.
CertStoreData* OpenSystemStore(const std::string& name) {
  std::string path;
  const bool exists = quillet::platform::FindStoreDirectory(name, &path);
  auto* store = new CertStoreData();
  if (!exists) return store;
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || !store->Load(path)) {
    store->CloseHandle();
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return store;
}

bool Matches(const CertData& data, DWORD find_type, const void* para) {
  if (find_type == CERT_FIND_ANY) return true;
  const auto* hash = static_cast<const CRYPT_HASH_BLOB*>(para);
  return hash->cbData == data.sha1.size() && hash->pbData != nullptr &&
         std::memcmp(hash->pbData, data.sha1.data(), data.sha1.size()) == 0;
}

// The position to search from: 0 for no previous context, one past it otherwise; -1 when
// the previous context is not of this store. Frees the previous context.
long StartAfter(CertStoreData* store, PCCERT_CONTEXT previous) {
  if (previous == nullptr) return 0;
  const long index = store->IndexOf(previous);
  CertFreeCertificateContext(previous);
  return index < 0 ? -1 : index + 1;
}

// Returns a new reference to the first certificate from `start` on that matches.
PCCERT_CONTEXT FindFrom(CertStoreData* store, long start, DWORD find_type, const void* para) {
  const auto& certificates = store->certificates();
  for (std::size_t i = static_cast<std::size_t>(start); i < certificates.size(); ++i) {
    if (Matches(*certificates[i], find_type, para)) {
      store->Retain();
      return &certificates[i]->block.context;
    }
  }
  SetLastError(CRYPT_E_NOT_FOUND);
  return nullptr;
}

}  // namespace

HCERTSTORE CertOpenStore(LPCSTR lpszStoreProvider, DWORD /*dwEncodingType*/,
                         HCRYPTPROV_LEGACY /*hCryptProv*/, DWORD dwFlags, const void* pvPara) {
  if (lpszStoreProvider != CERT_STORE_PROV_SYSTEM_W) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  std::string name;
  if ((dwFlags & CERT_SYSTEM_STORE_LOCATION_MASK) != CERT_SYSTEM_STORE_CURRENT_USER ||
      pvPara == nullptr ||
      !quillet::platform::Utf8FromWide(static_cast<const wchar_t*>(pvPara), &name)) {
    SetLastError(E_INVALIDARG);
    return nullptr;
  }
  return OpenSystemStore(name);
}

BOOL CertCloseStore(HCERTSTORE hCertStore, DWORD dwFlags) {
  if (hCertStore == nullptr) return TRUE;
  CertStoreData* store = quillet::platform::StoreOf(hCertStore);
  if (store == nullptr) {
    SetLastError(E_INVALIDARG);
    return FALSE;
  }
  const bool pending = store->references() > store->open_handles();
  store->CloseHandle();
  if ((dwFlags & CERT_CLOSE_STORE_CHECK_FLAG) != 0 && pending) {
    SetLastError(CRYPT_E_PENDING_CLOSE);
    return FALSE;
  }
  return TRUE;
}

PCCERT_CONTEXT CertEnumCertificatesInStore(HCERTSTORE hCertStore, PCCERT_CONTEXT pPrevCertContext) {
  return CertFindCertificateInStore(hCertStore, 0, 0, CERT_FIND_ANY, nullptr, pPrevCertContext);
}

PCCERT_CONTEXT CertFindCertificateInStore(HCERTSTORE hCertStore, DWORD /*dwCertEncodingType*/,
                                          DWORD /*dwFindFlags*/, DWORD dwFindType,
                                          const void* pvFindPara, PCCERT_CONTEXT pPrevCertContext) {
  CertStoreData* store = quillet::platform::StoreOf(hCertStore);
  const bool known_type =
      dwFindType == CERT_FIND_ANY || (dwFindType == CERT_FIND_SHA1_HASH && pvFindPara != nullptr);
  if (store == nullptr || !known_type) {
    CertFreeCertificateContext(pPrevCertContext);
    SetLastError(E_INVALIDARG);
    return nullptr;
  }
  const long start = StartAfter(store, pPrevCertContext);
  if (start < 0) {
    SetLastError(E_INVALIDARG);
    return nullptr;
  }
  return FindFrom(store, start, dwFindType, pvFindPara);
}
