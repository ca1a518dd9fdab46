#include "host/engine/runtime_layout.h"

const std::vector<std::wstring>& dependencyLibraryNames() {
  // libxmlsec1-openssl needs libxmlsec1: the core goes first.
  static const std::vector<std::wstring> names = {L"libxmlsec1.so.1", L"libxmlsec1-openssl.so.1"};
  return names;
}

const wchar_t* proxyLibrarySuffix() { return L"/libQuilletProxy.so"; }

const wchar_t* pathSeparator() { return L"/"; }
