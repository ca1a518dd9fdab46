// The module that provides the certificate selection dialog on this platform.
#pragma once

// Returns the file name the dialog library is loaded by: "cryptdlg.dll" on Windows, the
// project's GTK dialog library on Linux (found in the host's directory through RUNPATH).
const wchar_t* dialogLibraryName();
