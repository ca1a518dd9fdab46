// The one place that knows which platform it is built for: on Windows it pulls in the
// system's headers, elsewhere the platform library's stand-ins for exactly the calls
// this code makes. Everything else includes this header and nothing platform-specific.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <wincrypt.h>
#else
#include "platform/win_types.h"
#include "platform/last_error.h"
#include "platform/debug_output.h"
#include "platform/error_message.h"
#include "platform/local_memory.h"
#include "platform/std_streams.h"
#endif
