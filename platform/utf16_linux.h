// UTF-8 <-> UTF-16 for the platform library's W functions. wchar_t holds one UTF-16
// code unit per element; characters outside the BMP are surrogate pairs.
#pragma once

#include <string>

namespace quillet::platform {

// Converts NUL-terminated UTF-16 text to UTF-8. Returns false (and leaves *out
// unspecified) on a lone surrogate or a unit above 0xFFFF.
bool Utf8FromWide(const wchar_t* text, std::string* out);

// Converts UTF-8 to UTF-16. Returns false on malformed UTF-8.
bool WideFromUtf8(const std::string& text, std::wstring* out);

}  // namespace quillet::platform
