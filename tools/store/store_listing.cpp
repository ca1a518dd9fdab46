#include "tools/store/store_listing.h"

#include <ctime>
#include <fstream>
#include <iterator>
#include <vector>

#include "host/scoped_capi.h"
#include "platform/store_directory_linux.h"
#include "platform/utf16_linux.h"
#include "platform/win32.h"
#include "tools/store/thumbprint_text.h"

namespace quillet::store_tool {
namespace {

ScopedHCERTSTORE openStore(const std::string& name) {
  std::wstring wide;
  if (!quillet::platform::wideFromUtf8(name, &wide)) return nullptr;
  return ScopedHCERTSTORE(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                        CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG,
                                        wide.c_str()));
}

std::string nameText(PCCERT_CONTEXT context, DWORD flags) {
  const DWORD size =
      CertGetNameStringW(context, CERT_NAME_FRIENDLY_DISPLAY_TYPE, flags, nullptr, nullptr, 0);
  std::vector<wchar_t> wide(size);
  CertGetNameStringW(context, CERT_NAME_FRIENDLY_DISPLAY_TYPE, flags, nullptr, wide.data(), size);
  std::string text;
  quillet::platform::utf8FromWide(wide.data(), &text);
  return text;
}

std::string timeText(const FILETIME& time) {
  const unsigned long long ticks =
      (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  const std::time_t seconds = static_cast<std::time_t>(ticks / 10000000ULL) - 11644473600LL;
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[32] = {};
  std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S UTC", &parts);
  return text;
}

std::string keyState(PCCERT_CONTEXT context) {
  DWORD size = 0;
  if (!CertGetCertificateContextProperty(context, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size)) {
    return "no";
  }
  std::vector<BYTE> buffer(size);
  CertGetCertificateContextProperty(context, CERT_KEY_PROV_INFO_PROP_ID, buffer.data(), &size);
  std::string path;
  quillet::platform::utf8FromWide(
      reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(buffer.data())->pwszContainerName, &path);
  std::ifstream file(path);
  const std::string pem((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return pem.find("ENCRYPTED") != std::string::npos ? "yes, with PIN" : "yes";
}

std::string thumbprintOf(PCCERT_CONTEXT context) {
  BYTE hash[20] = {};
  DWORD size = sizeof(hash);
  CertGetCertificateContextProperty(context, CERT_SHA1_HASH_PROP_ID, hash, &size);
  return hexText(std::string(reinterpret_cast<char*>(hash), size));
}

}  // namespace

void listStores(std::ostream& out) {
  const std::string root = quillet::platform::storesRoot();
  out << "Stores in " << root << ":\n";
  std::vector<std::string> names;
  quillet::platform::listDirectory(root, &names);
  for (const std::string& name : names) {
    const ScopedHCERTSTORE store = openStore(name);
    if (store == nullptr) continue;
    // The enumeration frees each context as it hands out the next, and the last call
    // (NULL) frees the last one.
    int count = 0;
    for (PCCERT_CONTEXT context = nullptr;
         (context = CertEnumCertificatesInStore(store.get(), context)) != nullptr;) {
      ++count;
    }
    out << "  " << name << " (" << count << (count == 1 ? " certificate)\n" : " certificates)\n");
  }
}

bool listStore(const std::string& name, std::ostream& out, std::string* error) {
  const ScopedHCERTSTORE store = openStore(name);
  if (store == nullptr) {
    *error = "cannot open the store \"" + name + "\" (not a readable directory)";
    return false;
  }
  int count = 0;
  for (PCCERT_CONTEXT context = nullptr;
       (context = CertEnumCertificatesInStore(store.get(), context)) != nullptr; ++count) {
    out << "Thumbprint: " << thumbprintOf(context) << "\n"
        << "  Owner:    " << nameText(context, 0) << "\n"
        << "  Issuer:   " << nameText(context, CERT_NAME_ISSUER_FLAG) << "\n"
        << "  Valid:    " << timeText(context->pCertInfo->NotBefore) << " to "
        << timeText(context->pCertInfo->NotAfter) << "\n"
        << "  Key:      " << keyState(context) << "\n";
  }
  if (count == 0) out << "The store \"" << name << "\" is empty.\n";
  return true;
}

}  // namespace quillet::store_tool
