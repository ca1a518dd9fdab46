#include "host/module_path.h"

#include "host/host_platform.h"

std::wstring moduleDirectory(const std::wstring& path) {
  std::wstring::size_type cut = path.rfind(L'\\');
  if (cut == std::wstring::npos) cut = path.rfind(L'/');
  if (cut == std::wstring::npos) return L".";
  return path.substr(0, cut);
}

std::wstring joinModulePath(const std::wstring& directory, const std::wstring& name) {
  return directory + quillet::host::pathSeparator() + name;
}
