// The one place that knows which platform it is built for: on Windows it pulls in the
// system's headers, elsewhere the platform library's stand-ins for exactly the calls
// this code makes. Everything else includes this header and nothing platform-specific.
#pragma once

#ifdef _WIN32
// windows.h must come before every other Windows header.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <malloc.h>
#include <wincrypt.h>

#include "platform/cert_select_struct.h"
#else
#include "platform/cert_context.h"
#include "platform/cert_key_usage.h"
#include "platform/cert_name.h"
#include "platform/cert_revocation.h"
#include "platform/cert_select.h"
#include "platform/cert_store.h"
#include "platform/cert_time_validity.h"
#include "platform/code_page.h"
#include "platform/crypt_string.h"
#include "platform/crypt_types.h"
#include "platform/debug_output.h"
#include "platform/error_message.h"
#include "platform/exception_codes.h"
#include "platform/file_time.h"
#include "platform/heap_block.h"
#include "platform/key_container.h"
#include "platform/last_error.h"
#include "platform/local_memory.h"
#include "platform/locale_info.h"
#include "platform/module.h"
#include "platform/secure_zero.h"
#include "platform/std_streams.h"
#include "platform/version_info.h"
#include "platform/wide_locale.h"
#include "platform/win_types.h"
#endif
