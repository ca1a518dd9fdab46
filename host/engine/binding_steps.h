// The steps an engine takes while it binds itself to the signature library: each one is a
// small function of its own so that it can be tested apart from the others.
#pragma once

#include <string>

namespace quillet::host {

// Returns the C runtime locale name built from the user's default locale, of the form
// language_country.codepage (for example "Russian_Russia.1251"); parts that cannot be read
// are left out with their separator.
std::wstring userLocaleName();

// Writes "Plugin version (NM): a.b.c.d" to the trace when the file at `path` carries a
// version record; writes nothing otherwise.
void traceFileVersion(const std::wstring& path);

// Cuts the file name off `hostPath` (moduleDirectory, host/module_path.h), then loads
// every dependency library by full path from that directory, in order, tracing each probe.
// Returns 0 when all loaded, otherwise the 1-based position of the first library that
// failed (the rest are not tried).
int preloadDependencies(std::wstring& hostPath);

}  // namespace quillet::host
