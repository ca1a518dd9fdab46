#include "host/host_platform.h"

#include "platform/win32.h"

namespace quillet::host {

// The GCC runtime DLL of the architecture (libgcc_s_dw2-1.dll on x86), given by the
// toolchain file through the build.
#ifndef QUILLET_GCC_RUNTIME_DLL
#error "QUILLET_GCC_RUNTIME_DLL names the GCC runtime DLL of the architecture"
#endif
#define QUILLET_WIDEN2(text) L##text
#define QUILLET_WIDEN(text) QUILLET_WIDEN2(text)

const wchar_t* dialogLibraryName() { return L"cryptdlg.dll"; }

// The dependency DLLs the bundle ships, each after the ones it imports. The MinGW build of
// libxml2 has no iconv (libiconv-2.dll, libcharset-1.dll), and xmlsec1's autotools build
// names its libraries after the package xmlsec1 and loads its back end through libltdl
// (docs/windows.md).
const std::vector<std::wstring>& dependencyLibraryNames() {
  static const std::vector<std::wstring> names = {
      L"libwinpthread-1.dll", QUILLET_WIDEN(QUILLET_GCC_RUNTIME_DLL),
      L"zlib1.dll",           L"libxml2-2.dll",
      L"libxslt-1.dll",       L"libltdl-7.dll",
      L"libxmlsec1.dll",      L"libxmlsec1-mscrypto.dll"};
  return names;
}

const wchar_t* proxyLibrarySuffix() { return L"\\QuilletProxy.dll"; }

const wchar_t* pathSeparator() { return L"\\"; }

// Windows has no signal for a closed pipe: the write fails with ERROR_NO_DATA.
void failWritesToClosedPipes() {}

// Besides an attached debugger, a viewer of the system-wide debug output announces itself
// with the DBWIN_BUFFER_READY event; without either, OutputDebugStringA drops the text.
bool debugOutputIsRead() {
  if (IsDebuggerPresent()) return true;
  HANDLE ready = OpenEventW(SYNCHRONIZE, FALSE, L"DBWIN_BUFFER_READY");
  if (ready == nullptr) return false;
  CloseHandle(ready);
  return true;
}

// The process heap gives a block above about 512 KiB its own VirtualAlloc region and
// releases it on free; it has no thresholds to move.
void keepLargeBlocksInTheHeap() {}

void releaseFreeHeap() {}

}  // namespace quillet::host
