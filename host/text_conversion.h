// The host's conversions between narrow UTF-8 text (the wire, JSON, the log file) and wide
// UTF-16 text (the platform, the signature library, trace and messages). wchar_t holds one
// UTF-16 unit per element on every platform. These two functions are the only conversions
// between the two in the host.
#pragma once

#include <cstddef>
#include <string>

namespace quillet::host {

// Converts UTF-8 text to UTF-16. A byte-order mark is kept as the unit 0xFEFF; a code point
// above 0xFFFF becomes a surrogate pair. Throws std::range_error("bad conversion"), with no
// partial result, for malformed input: a continuation byte where a sequence must begin, a
// lead byte 0xC0, 0xC1 or 0xF5-0xFF, a following byte outside 0x80-0xBF, a sequence cut off
// by the end of the text, an overlong form, an encoded surrogate or a code point above
// 0x10FFFF.
std::wstring Utf8ToWide(const std::string& text);

// Checks that text is well-formed UTF-8 by the rules of Utf8ToWide, without converting it.
// Throws the same std::range_error("bad conversion") where Utf8ToWide would.
void CheckUtf8(const std::string& text);
// The same for the length bytes at text.
void CheckUtf8(const char* text, std::size_t length);

// Converts UTF-16 text to UTF-8, joining surrogate pairs; writes no byte-order mark. Throws
// std::range_error("bad conversion") for a lone surrogate or an element above 0xFFFF.
std::string WideToUtf8(const std::wstring& text);

}  // namespace quillet::host
