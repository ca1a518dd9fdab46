#include "host/engine/runtime_layout.h"

const std::vector<std::wstring>& dependencyLibraryNames() {
  static const std::vector<std::wstring> names = {
      L"libwinpthread-1.dll", L"libgcc_s_dw2-1.dll", L"libcharset-1.dll",
      L"zlib1.dll",           L"libiconv-2.dll",     L"libxml2-2.dll",
      L"libxslt-1.dll",       L"libxmlsec.dll",      L"libxmlsec-mscrypto.dll"};
  return names;
}

const wchar_t* proxyLibrarySuffix() { return L"\\QuilletProxy.dll"; }

const wchar_t* pathSeparator() { return L"\\"; }
