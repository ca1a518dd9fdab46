// FormatMessageW: the system's text for an error code (with LocalFree from
// platform/local_memory.h to release an allocated text).
//
// Implemented: FORMAT_MESSAGE_FROM_SYSTEM, with or without FORMAT_MESSAGE_IGNORE_INSERTS and
// FORMAT_MESSAGE_ALLOCATE_BUFFER; the texts are Windows' English ones, each ending in "\r\n"
// as the system's do, from a fixed table of the codes this code base sets or meets (Windows
// error codes, the CRYPT_E_, NTE_ and SCARD_ codes). The language is not examined: every
// language id gets the English text. Inserts (%1) are never expanded: the table's texts are
// returned as they stand.
// Errors: a code the table does not hold returns 0 with ERROR_MR_MID_NOT_FOUND (317); no
// FORMAT_MESSAGE_FROM_SYSTEM, or FROM_STRING / FROM_HMODULE, or no buffer, returns 0 with
// ERROR_INVALID_PARAMETER; a caller's buffer too small for the text and its NUL returns 0
// with ERROR_INSUFFICIENT_BUFFER; no memory for an allocated text returns 0 with
// ERROR_NOT_ENOUGH_MEMORY. Success leaves the last-error code as it was.
#pragma once

#include <cstdarg>

#include "platform/api.h"
#include "platform/local_memory.h"
#include "platform/win_types.h"

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF

#define LANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define MAKELANGID(primary, sub) ((static_cast<WORD>(sub) << 10) | static_cast<WORD>(primary))

// Writes the system's text for messageId. With FORMAT_MESSAGE_ALLOCATE_BUFFER, buffer is in
// fact an LPWSTR* that receives a LocalAlloc'ed text (release it with LocalFree) and size is
// the least number of characters to allocate; otherwise buffer holds size characters.
// Returns the number of characters written, the NUL excluded, or 0 with the last-error code
// set (see above). source and arguments are not used.
QUILLET_API DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                                 LPWSTR buffer, DWORD size, va_list* arguments);
