#include "platform/module.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/last_error.h"
#include "platform/openssl_owned_linux.h"
#include "platform/utf16_linux.h"

namespace {

// The Windows error that matches why dlopen refused a file that exists.
DWORD loadError(const char* reason) {
  const std::string text = reason != nullptr ? reason : "";
  if (text.find("cannot open shared object file") != std::string::npos) return ERROR_MOD_NOT_FOUND;
  if (text.find("undefined symbol") != std::string::npos) return ERROR_PROC_NOT_FOUND;
  return ERROR_BAD_EXE_FORMAT;
}

std::string programPath() {
  std::string path(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  path.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return path;
}

// The path with symbolic links and "." or ".." parts resolved, or the path as given when
// it cannot be resolved.
std::string canonicalOr(const char* path) {
  const quillet::platform::ScopedMallocChars canonical(realpath(path, nullptr));
  return canonical != nullptr ? canonical.get() : path;
}

std::string modulePath(HMODULE module) {
  if (module == nullptr) return programPath();
  link_map* map = nullptr;
  if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return std::string();
  if (map->l_name == nullptr || map->l_name[0] == '\0') return programPath();
  // A full path without "." or ".." parts, as Windows reports it.
  return canonicalOr(map->l_name);
}

std::string directoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The directory of the platform library itself: the runtime directory.
std::string libraryDirectory() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&LoadLibraryW), &info) == 0 || info.dli_fname == nullptr) {
    return std::string();
  }
  return directoryOf(canonicalOr(info.dli_fname));
}

// Where a bare module name is looked for first, as Windows looks in the application's
// directory first: the program's directory, then the runtime directory. Returns the full
// path of the first that holds the file, or the name itself for the loader's own search.
// The loader's search alone is not enough: it follows the RUNPATH of whichever object
// calls dlopen, and a sanitizer's interceptor is such an object.
std::string searchBareName(const std::string& name) {
  for (const std::string& dir : {directoryOf(programPath()), libraryDirectory()}) {
    struct stat info {};
    const std::string candidate = dir + "/" + name;
    if (!dir.empty() && stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
      return candidate;
    }
  }
  return name;
}

}  // namespace

HMODULE LoadLibraryW(LPCWSTR lpLibFileName) {
  std::string name;
  if (lpLibFileName == nullptr || !quillet::platform::utf8FromWide(lpLibFileName, &name) ||
      name.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::replace(name.begin(), name.end(), '\\', '/');
  struct stat info {};
  if (name.find('/') == std::string::npos) {
    // A module of that name already loaded is the answer, as on Windows.
    if (void* loaded = dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE)) {
      return static_cast<HMODULE>(loaded);
    }
    name = searchBareName(name);
  } else if (stat(name.c_str(), &info) != 0) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr) {
    SetLastError(loadError(dlerror()));
    return nullptr;
  }
  return static_cast<HMODULE>(handle);
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  // Names only: an ordinal is a pointer value below 0x10000.
  if (reinterpret_cast<std::uintptr_t>(lpProcName) < 0x10000) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  void* module = hModule != nullptr ? static_cast<void*>(hModule) : dlopen(nullptr, RTLD_NOW);
  dlerror();
  void* symbol = dlsym(module, lpProcName);
  if (hModule == nullptr) dlclose(module);
  if (symbol == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  FARPROC function = nullptr;
  static_assert(sizeof(function) == sizeof(symbol), "function and data pointers differ");
  std::memcpy(&function, &symbol, sizeof(function));
  return function;
}

BOOL FreeLibrary(HMODULE hLibModule) {
  if (hLibModule == nullptr || dlclose(hLibModule) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
  std::wstring path;
  const std::string narrow = modulePath(hModule);
  if (narrow.empty() || !quillet::platform::wideFromUtf8(narrow, &path)) {
    SetLastError(hModule == nullptr ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE);
    return 0;
  }
  if (lpFilename == nullptr || nSize == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() < nSize) {
    path.copy(lpFilename, path.size());
    lpFilename[path.size()] = L'\0';
    return static_cast<DWORD>(path.size());
  }
  path.copy(lpFilename, nSize - 1);
  lpFilename[nSize - 1] = L'\0';
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return nSize;
}
