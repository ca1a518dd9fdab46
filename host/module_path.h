// Paths of the modules loaded from the host's directory. The host and the signature library
// (which finds its crypto back end beside the executable) both build them here.
// In the global namespace, as the signature library (quillet::proxy) calls it too.
#pragma once

#include <string>

// Returns the directory part of a module's path: the text before its last backslash; when
// it has none, before its last forward slash; when it has neither, ".".
std::wstring moduleDirectory(const std::wstring& path);

// Returns directory, quillet::host::pathSeparator() (host/host_platform.h) and name joined.
std::wstring joinModulePath(const std::wstring& directory, const std::wstring& name);
