#include "host/host_platform.h"

#include <csignal>

#include "platform/win32.h"

namespace quillet::host {

const wchar_t* dialogLibraryName() { return L"libQuilletCertDialog.so"; }

const std::vector<std::wstring>& dependencyLibraryNames() {
  // libxmlsec1-openssl needs libxmlsec1: the core goes first.
  static const std::vector<std::wstring> names = {L"libxmlsec1.so.1", L"libxmlsec1-openssl.so.1"};
  return names;
}

const wchar_t* proxyLibrarySuffix() { return L"/libQuilletProxy.so"; }

const wchar_t* pathSeparator() { return L"/"; }

void failWritesToClosedPipes() { std::signal(SIGPIPE, SIG_IGN); }

bool debugOutputIsRead() { return IsDebuggerPresent() != FALSE; }

}  // namespace quillet::host
