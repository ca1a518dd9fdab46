// The trace: how the engine, the certificate steps and (through its callback) the signature
// library report steps and failures. Every trace line goes to the log (host/log.h) and is
// lost silently while logging is off.
#pragma once

#include <string>

#include "platform/win32.h"

namespace quillet::host {

// Writes text as one log line when code is 0 (systemError is then ignored). Otherwise writes
// "ERROR=" + code (signed decimal) + " (" + text + ")", and when systemError is not 0 a second
// line "\tGetLastError(" + systemError (8 lower-case hex digits) + "h): " + the system's text
// for it (which ends with a line break of its own). Has the shape of the signature library's
// TraceCallback; the result is always 0 and means nothing. Throws "bad conversion" for a
// text that is not valid UTF-16.
int trace(const wchar_t* text, int code, DWORD systemError);
// The same for a string object.
int trace(const std::wstring& text, int code, DWORD systemError);

// Traces text with code and systemError; when code is not 0 the text is first extended by a
// blank and resultMessage(code).
void traceResult(const std::wstring& text, int code, DWORD systemError);

// Returns the system's description of systemError (as FormatMessageW gives it, line break
// included), or the empty string for 0 and for a number the system has no text for.
std::wstring systemErrorText(DWORD systemError);

}  // namespace quillet::host
