// The user-facing Russian message of each result code (host/result_codes.h). The messages
// reach the browser in error answers and the log through the trace.
#pragma once

#include <string>

namespace quillet::host {

// Returns the message of code, or for a code outside the table the text
// "передан неизвестный код ошибки (" + the code in decimal (with its sign) + ")". Never fails.
std::wstring resultMessage(int code);

}  // namespace quillet::host
