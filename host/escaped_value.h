// Values from a request (or a document) inside trace and log texts.
#pragma once

#include <string>

namespace quillet::host {

// Returns value with every character that could break a log record or act on a terminal
// written as an escape: C0 controls U+0000-U+001F (CR, LF, NUL, ESC, tab, ...), DEL and the
// C1 controls U+0080-U+009F become "\x" and two upper-case hex digits (LF: \x0A), the line
// and paragraph separators U+2028 and U+2029 become \u2028 and \u2029. Everything else, a
// backslash included, stays as it is. So a value never starts a line of its own in the log.
std::wstring escapedValue(const std::wstring& value);

}  // namespace quillet::host
