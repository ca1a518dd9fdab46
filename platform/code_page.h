// MultiByteToWideChar / WideCharToMultiByte: conversions between UTF-8 and UTF-16, the only
// code page the code converts with (CP_UTF8).
//
// Behaviour as on Windows for CP_UTF8:
// - A length of -1 means the input is NUL-terminated and the NUL is converted too (and
//   counted in the result); otherwise exactly that many units are converted.
// - An output size of 0 asks for the size: the output pointer is not touched and the
//   result is the number of units the conversion needs.
// - Without the error flag, malformed UTF-8 (bad or overlong sequences, encoded surrogates,
//   values above U+10FFFF, a sequence cut short) and lone UTF-16 surrogates each become
//   U+FFFD. With MB_ERR_INVALID_CHARS / WC_ERR_INVALID_CHARS they make the call fail with
//   ERROR_NO_UNICODE_TRANSLATION. Characters outside the BMP are surrogate pairs in UTF-16.
// - Another code page, an unknown flag, a NULL input, a length below -1, a negative output
//   size, or a default character with CP_UTF8: 0 and ERROR_INVALID_PARAMETER (an empty
//   input with length 0 is ERROR_INVALID_PARAMETER too, as on Windows).
// - An output too small: 0 and ERROR_INSUFFICIENT_BUFFER (what fitted is written).
// Success leaves the last error as it was.
#pragma once

#include "platform/api.h"
#include "platform/win_types.h"

using LPCCH = const char*;
using LPCWCH = const wchar_t*;
using LPBOOL = BOOL*;

#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_ERR_INVALID_CHARS 0x00000080

#define ERROR_NO_UNICODE_TRANSLATION 1113L

// Converts UTF-8 to UTF-16 (see above). Returns the number of UTF-16 units written (or
// needed, when cchWideChar is 0), or 0 on failure with the last error set.
QUILLET_API int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr,
                                           int cbMultiByte, LPWSTR lpWideCharStr, int cchWideChar);

// Converts UTF-16 to UTF-8 (see above). lpDefaultChar and lpUsedDefaultChar must be NULL.
// Returns the number of bytes written (or needed, when cbMultiByte is 0), or 0 on failure
// with the last error set.
QUILLET_API int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr,
                                           int cchWideChar, LPSTR lpMultiByteStr, int cbMultiByte,
                                           LPCCH lpDefaultChar, LPBOOL lpUsedDefaultChar);
