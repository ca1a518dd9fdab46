// The host's daily diagnostic log. Logging is on while the log directory exists (the host
// never creates it): C:\tavlin.quillet on Windows, $HOME/tavlin.quillet on Linux. Lines go to
// QuilletHost_YYYYMMDD.log there, named after the local date on which the process opened it,
// each as "YYYY-MM-DD hh:mm:ss: " + text and flushed at once. Every opening of the file
// writes a session header, after two empty lines when the file already holds something.
// Nothing of the log goes to standard output, standard error or the debugger output.
#pragma once

#include <string>

namespace quillet::host {

// Opens the process's log file if logging is on and it is not open yet, writing the session
// header. Never throws; a failure leaves the log closed, and the next line tries again.
void ensureLogOpen();

// Writes one time-stamped line with the UTF-8 text unchanged (a text holding line breaks
// continues on further lines without time stamps). Lost silently when logging is off or the
// file cannot be written.
void logLine(const std::string& text);

// Writes one line with the UTF-16 text converted by WideToUtf8. Throws the converter's
// "bad conversion" error for a text that cannot be converted; the line is not written then.
void logLine(const std::wstring& text);

// Closes the log file if it is open; the next line opens it again (with a new header).
void closeLog();

}  // namespace quillet::host
