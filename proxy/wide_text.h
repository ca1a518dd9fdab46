// Conversions between the UTF-16 texts of the library's interface and the UTF-8 that
// libxml2 works in, with the system's CP_UTF8 conversions, into buffers obtained without
// throwing.
#pragma once

#include <memory>

namespace quillet::proxy {

// How a conversion ended.
enum class Conversion { kDone, kInvalidText, kOutOfMemory };

// Converts NUL-terminated UTF-16 text, NUL included, into *utf8. A lone surrogate (or a
// NULL text) is invalid: nothing is replaced behind the caller's back.
Conversion wideToUtf8(const wchar_t* text, std::unique_ptr<char[]>* utf8);

// Converts NUL-terminated UTF-8 text, NUL included, into *wide (an array allocated with
// new[]). Malformed UTF-8 is invalid.
Conversion utf8ToWide(const char* text, std::unique_ptr<wchar_t[]>* wide);

}  // namespace quillet::proxy
