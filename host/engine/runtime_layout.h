// Names and places of the modules the engine loads from the host's directory. They differ
// per platform (runtime_layout_win.cpp, runtime_layout_linux.cpp); the engine's logic is
// the same on both.
#pragma once

#include <string>
#include <vector>

// Returns the libraries that ship in the host's directory and are loaded, in this order,
// before the signature library: on Windows the nine DLLs of the XML stack and its C runtime;
// on Linux the GOST-enabled xmlsec1 build, which the system does not provide.
const std::vector<std::wstring>& dependencyLibraryNames();

// Returns the file name of the signature library preceded by the path separator, as it is
// appended to the host's directory ("\QuilletProxy.dll", "/libQuilletProxy.so").
const wchar_t* proxyLibrarySuffix();

// Returns the separator placed between the host's directory and a library name.
const wchar_t* pathSeparator();
