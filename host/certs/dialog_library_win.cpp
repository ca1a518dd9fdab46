#include "host/certs/dialog_library.h"

const wchar_t* dialogLibraryName() { return L"cryptdlg.dll"; }
