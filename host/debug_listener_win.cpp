#include "host/debug_listener.h"

#include "platform/win32.h"

// Besides an attached debugger, a viewer of the system-wide debug output announces itself
// with the DBWIN_BUFFER_READY event; without either, OutputDebugStringA drops the text.
bool debugOutputIsRead() {
  if (IsDebuggerPresent()) return true;
  HANDLE ready = OpenEventW(SYNCHRONIZE, FALSE, L"DBWIN_BUFFER_READY");
  if (ready == nullptr) return false;
  CloseHandle(ready);
  return true;
}
