#include "host/certs/user_store.h"

namespace quillet::host {

ScopedHCERTSTORE openUserStore(const std::wstring& storeName) {
  return ScopedHCERTSTORE(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                        CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG,
                                        storeName.empty() ? L"My" : storeName.c_str()));
}

}  // namespace quillet::host
