#include "host/engine/binding_steps.h"

#include <sstream>
#include <vector>

#include "host/host_platform.h"
#include "host/module_path.h"
#include "host/result_codes.h"
#include "host/trace.h"
#include "platform/win32.h"

namespace quillet::host {

namespace {

constexpr DWORD kLocaleUserDefault = 0x400;
constexpr DWORD kLocaleEnglishLanguage = 0x1001;
constexpr DWORD kLocaleEnglishCountry = 0x1002;
constexpr DWORD kLocaleAnsiCodePage = 0x1004;
constexpr DWORD kLocaleOemCodePage = 0x000B;
constexpr DWORD kFixedFileInfoSignature = 0xFEEF04BD;

// Reads one locale value into a zero-filled buffer of 256 units, at most 127 of them.
// Returns the empty string when the value cannot be read.
std::wstring localeValue(DWORD type) {
  std::vector<wchar_t> buffer(256, L'\0');
  if (GetLocaleInfoW(kLocaleUserDefault, type, buffer.data(), 127) == 0) {
    return std::wstring();
  }
  return std::wstring(buffer.data());
}

}  // namespace

std::wstring userLocaleName() {
  std::wstring name = localeValue(kLocaleEnglishLanguage);
  const std::wstring country = localeValue(kLocaleEnglishCountry);
  if (!country.empty()) {
    name += L"_" + country;
  }
  std::wstring codePage = localeValue(kLocaleAnsiCodePage);
  if (codePage.empty()) {
    codePage = localeValue(kLocaleOemCodePage);
  }
  if (!codePage.empty()) {
    name += L"." + codePage;
  }
  return name;
}

void traceFileVersion(const std::wstring& path) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0) {
    return;
  }
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) {
    return;
  }
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<LPVOID*>(&info), &length) ||
      info == nullptr || length == 0 || info->dwSignature != kFixedFileInfoSignature) {
    return;
  }
  std::wostringstream line;
  line << L"Plugin version (NM): " << HIWORD(info->dwFileVersionMS) << L"."
       << LOWORD(info->dwFileVersionMS) << L"." << HIWORD(info->dwFileVersionLS) << L"."
       << LOWORD(info->dwFileVersionLS);
  trace(line.str(), Ok, 0);
}

int preloadDependencies(std::wstring& hostPath) {
  hostPath = moduleDirectory(hostPath);
  int position = 0;
  for (const std::wstring& name : dependencyLibraryNames()) {
    ++position;
    const std::wstring fullPath = joinModulePath(hostPath, name);
    trace(L"1st probe " + fullPath, Ok, 0);
    if (LoadLibraryW(fullPath.c_str()) == nullptr) {
      const DWORD error = GetLastError();
      trace(L"1st probe failed " + fullPath, CryptoBackendLoadFailed, error);
      return position;
    }
  }
  return 0;
}

}  // namespace quillet::host
