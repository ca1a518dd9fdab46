#include "proxy/backend_preload.h"

#include "host/module_path.h"
#include "host/result_codes.h"
#include "platform/win32.h"

namespace quillet::proxy {
namespace {

// The buffer GetModuleFileNameW gets for the executable's path, in UTF-16 units.
constexpr DWORD kImagePathUnits = 261;

// Returns the directory of the process's executable image ("." when it has no separator).
std::wstring executableDirectory() {
  wchar_t path[kImagePathUnits] = {};
  GetModuleFileNameW(/*hModule=*/nullptr, path, kImagePathUnits);
  return moduleDirectory(path);
}

// Loads the module at name; on failure traces failedText + name with the load's error.
bool probe(const Tracer& trace, const std::wstring& probeText, const std::wstring& failedText,
           const std::wstring& name) {
  trace.line(probeText + name);
  if (LoadLibraryW(name.c_str()) != nullptr) return true;
  const DWORD error = GetLastError();
  trace.line(failedText + name, CryptoBackendLoadFailed, error);
  return false;
}

}  // namespace

void preloadCryptoBackend(const Tracer& trace, const std::wstring& moduleName) {
  if (probe(trace, L"1st probe ", L"1st probe failed ", moduleName)) return;
  const std::wstring path = joinModulePath(executableDirectory(), moduleName);
  probe(trace, L"2nd probe ", L"2nd probe failed ", path);
}

}  // namespace quillet::proxy
