// Paths of modules, as the crypto back end's preload builds them.
#pragma once

#include <string>

namespace quillet::proxy {

// The separator the system's loader expects between a directory and a file name: a
// backslash on Windows, a slash on Linux.
extern const wchar_t kPathSeparator;

// Returns the directory part of a module's path: the text before its last backslash; when
// it has none, before its last forward slash; when it has neither, ".".
std::wstring moduleDirectory(const std::wstring& path);

// Returns directory, kPathSeparator and name joined.
std::wstring joinModulePath(const std::wstring& directory, const std::wstring& name);

}  // namespace quillet::proxy
