// _wsetlocale: the C runtime's setlocale with UTF-16 names (Windows CRT).
//
// On Linux the name is converted to UTF-8 and given to setlocale; the answer comes back
// as UTF-16 in a buffer of the calling thread that the next call overwrites. Categories
// are those of <clocale> (LC_ALL, LC_CTYPE, ...).
#pragma once

#include <clocale>

#include "platform/api.h"

// Sets (or with locale NULL, queries) the locale of a category. Returns the name of the
// locale now in effect, or NULL when the name is refused (or is not valid UTF-16).
QUILLET_API wchar_t* _wsetlocale(int category, const wchar_t* locale);
