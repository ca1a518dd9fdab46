// What the host does differently per platform, in one place: the names of the modules it
// loads, the path separator, how it meets a closed pipe and the debugger output, and how its
// heap treats large blocks.
// host_platform_linux.cpp and host_platform_win.cpp implement it; the build takes the one
// of its platform, and no caller branches on the platform.
#pragma once

#include <string>
#include <vector>

namespace quillet::host {

// Returns the file name the certificate selection dialog library is loaded by:
// "cryptdlg.dll" on Windows, the project's GTK dialog library on Linux (found in the host's
// directory through RUNPATH).
const wchar_t* dialogLibraryName();

// Returns the libraries that ship in the host's directory and are loaded, in this order,
// before the signature library: on Windows the nine DLLs of the XML stack and its C runtime;
// on Linux the GOST-enabled xmlsec1 build, which the system does not provide.
const std::vector<std::wstring>& dependencyLibraryNames();

// Returns the file name of the signature library preceded by the path separator, as it is
// appended to the host's directory ("\QuilletProxy.dll", "/libQuilletProxy.so").
const wchar_t* proxyLibrarySuffix();

// Returns the separator the system's loader expects between a directory and a file name:
// "\" on Windows, "/" on Linux.
const wchar_t* pathSeparator();

// Makes a write into a closed pipe fail with an error instead of ending the process, as it
// does on Windows (on Linux: SIGPIPE is ignored). Called once at start-up.
void failWritesToClosedPipes();

// Whether anybody reads the debugger output, so that a text made only for it (the echo of
// a request, which can be as large as the request) is not built in vain: true when a
// debugger or a debug-output viewer may read what OutputDebugStringA hands over; false only
// when such text is certainly dropped.
bool debugOutputIsRead();

// Makes large blocks come from the heap and stay in it when freed, instead of each being
// mapped afresh and unmapped on release: the successive copies of a large request's
// document (its bytes, the parsed string, the UTF-16 text, the signature library's UTF-8
// copy and tree) then reuse pages that an earlier copy touched, rather than each faulting in
// fresh zeroed pages. On Linux: glibc's mmap and trim thresholds. Called once at start-up.
void keepLargeBlocksInTheHeap();

// Gives the heap's free memory back to the system when there is much of it, so that a host
// the browser keeps running does not hold the peak of its largest request. Called after each
// request, once the request's memory is freed.
void releaseFreeHeap();

}  // namespace quillet::host
