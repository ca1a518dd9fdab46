#include "host/debug_listener.h"

#include "platform/win32.h"

bool debugOutputIsRead() { return IsDebuggerPresent() != FALSE; }
