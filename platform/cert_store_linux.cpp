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
CertStoreData* openSystemStore(const std::string& name) {
  std::string path;
  const bool exists = quillet::platform::findStoreDirectory(name, &path);
  auto* store = new CertStoreData();
  if (!exists) return store;
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || !store->load(path)) {
    store->closeHandle();
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return store;
}

bool matches(const CertData& data, DWORD findType, const void* para) {
  if (findType == CERT_FIND_ANY) return true;
  const auto* hash = static_cast<const CRYPT_HASH_BLOB*>(para);
  return hash->cbData == data.sha1.size() && hash->pbData != nullptr &&
         std::memcmp(hash->pbData, data.sha1.data(), data.sha1.size()) == 0;
}

// The position to search from: 0 for no previous context, one past it otherwise; -1 when
// the previous context is not of this store. Frees the previous context.
long startAfter(CertStoreData* store, PCCERT_CONTEXT previous) {
  if (previous == nullptr) return 0;
  const long index = store->indexOf(previous);
  CertFreeCertificateContext(previous);
  return index < 0 ? -1 : index + 1;
}

// Returns a new reference to the first certificate from `start` on that matches.
PCCERT_CONTEXT findFrom(CertStoreData* store, long start, DWORD findType, const void* para) {
  const auto& certificates = store->certificates();
  for (std::size_t i = static_cast<std::size_t>(start); i < certificates.size(); ++i) {
    if (matches(*certificates[i], findType, para)) {
      store->retain();
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
      !quillet::platform::utf8FromWide(static_cast<const wchar_t*>(pvPara), &name)) {
    SetLastError(E_INVALIDARG);
    return nullptr;
  }
  return openSystemStore(name);
}

BOOL CertCloseStore(HCERTSTORE hCertStore, DWORD dwFlags) {
  if (hCertStore == nullptr) return TRUE;
  CertStoreData* store = quillet::platform::storeOf(hCertStore);
  if (store == nullptr) {
    SetLastError(E_INVALIDARG);
    return FALSE;
  }
  const bool pending = store->references() > store->openHandles();
  store->closeHandle();
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
  CertStoreData* store = quillet::platform::storeOf(hCertStore);
  const bool knownType =
      dwFindType == CERT_FIND_ANY || (dwFindType == CERT_FIND_SHA1_HASH && pvFindPara != nullptr);
  if (store == nullptr || !knownType) {
    CertFreeCertificateContext(pPrevCertContext);
    SetLastError(E_INVALIDARG);
    return nullptr;
  }
  const long start = startAfter(store, pPrevCertContext);
  if (start < 0) {
    SetLastError(E_INVALIDARG);
    return nullptr;
  }
  return findFrom(store, start, dwFindType, pvFindPara);
}
