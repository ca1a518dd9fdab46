#include "proxy/module_path.h"

namespace quillet::proxy {

std::wstring moduleDirectory(const std::wstring& path) {
  std::wstring::size_type cut = path.rfind(L'\\');
  if (cut == std::wstring::npos) cut = path.rfind(L'/');
  if (cut == std::wstring::npos) return L".";
  return path.substr(0, cut);
}

std::wstring joinModulePath(const std::wstring& directory, const std::wstring& name) {
  return directory + kPathSeparator + name;
}

}  // namespace quillet::proxy
