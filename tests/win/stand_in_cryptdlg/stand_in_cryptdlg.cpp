// A stand-in for cryptdlg.dll (Wine has no CertSelectCertificateW), test-only, placed in a
// copy of the bundle: it checks what the host hands the dialog and "chooses" like a user
// would, so that the prompt runs through the real host on the real calling conventions.
//
// It checks the structure size against the system's layout (68 bytes on x86, 136 on x64,
// not the size of the host's own declaration), the owner window against
// QUILLET_STAND_IN_OWNER (decimal), one store and a slot for the choice; then offers every
// certificate of the store to the host's filter callback and chooses the first one it
// shows, replacing (and releasing) the preselected one in slot 0. What it saw goes to the
// file QUILLET_STAND_IN_REPORT names, one line: "shown <n> of <m>" or "refused: <why>".
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32.h"

namespace {

constexpr DWORD kSystemStructSize = sizeof(void*) == 4 ? 68 : 136;

void report(const std::string& line) {
  const char* path = std::getenv("QUILLET_STAND_IN_REPORT");
  if (path == nullptr) return;
  if (std::FILE* file = std::fopen(path, "w")) {
    std::fputs(line.c_str(), file);
    std::fclose(file);
  }
}

BOOL refuse(const std::string& why) {
  report("refused: " + why);
  return FALSE;
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI CertSelectCertificateW(PCERT_SELECT_STRUCT_W select) {
  if (select == nullptr) return refuse("no structure");
  if (select->dwSize != kSystemStructSize) {
    return refuse("size " + std::to_string(select->dwSize));
  }
  const char* owner = std::getenv("QUILLET_STAND_IN_OWNER");
  const auto expected = static_cast<std::intptr_t>(owner != nullptr ? std::atoll(owner) : 0);
  if (reinterpret_cast<std::intptr_t>(select->hwndParent) != expected) {
    return refuse("owner " + std::to_string(reinterpret_cast<std::intptr_t>(select->hwndParent)));
  }
  if (select->cCertStore != 1 || select->arrayCertStore == nullptr) return refuse("stores");
  if (select->cCertContext < 1 || select->arrayCertContext == nullptr) return refuse("slots");
  if (select->pfnFilter == nullptr) return refuse("no filter");

  PCCERT_CONTEXT chosen = nullptr;
  int shown = 0;
  int offered = 0;
  PCCERT_CONTEXT each = nullptr;
  while ((each = CertEnumCertificatesInStore(select->arrayCertStore[0], each)) != nullptr) {
    ++offered;
    if (!select->pfnFilter(each, select->lCustData, 0, 0)) continue;
    ++shown;
    if (chosen == nullptr) chosen = CertDuplicateCertificateContext(each);
  }
  report("shown " + std::to_string(shown) + " of " + std::to_string(offered));
  if (chosen == nullptr) return FALSE;  // nothing to choose: as Cancel
  if (select->arrayCertContext[0] != nullptr)
    CertFreeCertificateContext(select->arrayCertContext[0]);
  select->arrayCertContext[0] = chosen;
  select->cCertContext = 1;
  return TRUE;
}
