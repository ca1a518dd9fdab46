// GetLocaleInfoW for the user's default locale.
//
// On Linux the user's locale is the POSIX locale the environment names for the character
// type (LC_ALL, else LC_CTYPE, else LANG; "C" when none is set), of the form
// language[_territory][.codeset][@modifier]. Its parts answer the queries, so that
// language + "_" + territory + "." + codeset, as Windows code builds a locale name from
// the English names and the code page, is a name setlocale accepts:
//   LOCALE_SENGLANGUAGE, LOCALE_SISO639LANGNAME       language ("ru", "C")
//   LOCALE_SENGCOUNTRY, LOCALE_SISO3166CTRYNAME       territory ("RU", or "")
//   LOCALE_IDEFAULTANSICODEPAGE, LOCALE_IDEFAULTCODEPAGE  codeset ("UTF-8", or "")
// The modifier is not reported. Locale: LOCALE_USER_DEFAULT or LOCALE_SYSTEM_DEFAULT
// (both the same here); LOCALE_NOUSEROVERRIDE is accepted.
//
// Error codes: ERROR_INVALID_PARAMETER (other locale, negative size, no buffer with a
// size), ERROR_INVALID_FLAGS (other query), ERROR_INSUFFICIENT_BUFFER.
#pragma once

#include "platform/api.h"
#include "platform/win_types.h"

using LCTYPE = DWORD;

#define ERROR_INVALID_FLAGS 1004L

#define LOCALE_USER_DEFAULT 0x0400
#define LOCALE_SYSTEM_DEFAULT 0x0800
#define LOCALE_NOUSEROVERRIDE 0x80000000
#define LOCALE_IDEFAULTCODEPAGE 0x0000000B
#define LOCALE_SISO639LANGNAME 0x00000059
#define LOCALE_SISO3166CTRYNAME 0x0000005A
#define LOCALE_SENGLANGUAGE 0x00001001
#define LOCALE_SENGCOUNTRY 0x00001002
#define LOCALE_IDEFAULTANSICODEPAGE 0x00001004

// Writes the answer as UTF-16 with a NUL and returns its length in units, NUL included.
// cchData 0: only the length. A buffer too small: 0 and ERROR_INSUFFICIENT_BUFFER.
QUILLET_API int WINAPI GetLocaleInfoW(LCID Locale, LCTYPE LCType, LPWSTR lpLCData, int cchData);
