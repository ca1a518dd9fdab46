// Whether anybody reads the debugger output, so that a text made only for it (the echo of
// a request, which can be as large as the request) is not built in vain.
#pragma once

// True when a debugger or a debug-output viewer may read what OutputDebugStringA hands
// over; false only when such text is certainly dropped.
bool debugOutputIsRead();
