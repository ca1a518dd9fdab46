// Loading modules: LoadLibraryW, GetProcAddress, FreeLibrary and GetModuleFileNameW.
//
// On Linux a module is a shared object opened with dlopen (RTLD_NOW | RTLD_LOCAL), and
// HMODULE is its dlopen handle. "\" counts as a path separator as on Windows. A name
// without a separator that names a module already loaded (by file or soname) gives that
// module, as on Windows; otherwise it is looked for first in the program's directory, then in the
// platform library's (the runtime directory with the bundled libraries), and only then
// by the dynamic loader's own search (the system's libraries), as Windows looks in the
// application's directory first. Modules are opened with RTLD_NODELETE: FreeLibrary
// drops the reference but the code stays mapped, since toolkit libraries (GTK) cannot be
// unloaded safely.
//
// Error codes: ERROR_MOD_NOT_FOUND (126: file missing, or a dependency missing),
// ERROR_PROC_NOT_FOUND (127: missing export, or a module needing a symbol nobody has),
// ERROR_BAD_EXE_FORMAT (193: not a loadable shared object), ERROR_INVALID_PARAMETER,
// ERROR_INVALID_HANDLE, ERROR_INSUFFICIENT_BUFFER.
#pragma once

#include "platform/api.h"
#include "platform/win_types.h"

#define ERROR_INVALID_HANDLE 6L
#define ERROR_BAD_EXE_FORMAT 193L

// Loads a module (UTF-16 file name or path). Returns its handle, or NULL with the error.
// Success leaves the last error as it was.
QUILLET_API HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName);

// Returns the address of an export by name, or NULL with ERROR_PROC_NOT_FOUND. hModule
// NULL means the program itself. Exports by ordinal are not supported (NULL,
// ERROR_PROC_NOT_FOUND).
QUILLET_API FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);

// Drops one reference to a module. Returns FALSE with ERROR_INVALID_HANDLE for NULL or a
// handle the loader refuses.
QUILLET_API BOOL WINAPI FreeLibrary(HMODULE hLibModule);

// Writes the full path of a module (NULL: the running program) as UTF-16 and returns its
// length without the NUL. A path too long for nSize units is cut to nSize - 1 units plus
// NUL; the return is then nSize and the error ERROR_INSUFFICIENT_BUFFER. Failure: 0 and
// the error.
QUILLET_API DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
