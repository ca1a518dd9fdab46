// What the engine asks of a document's text before the library sees it.
#pragma once

#include <string>

namespace quillet::host {

// Throws a ResultError with code 209 (the document cannot be parsed) when the text holds a
// NUL character: the library would read the text only up to it, while the page holds,
// shows and keeps the whole string.
void requireNoNul(const std::string& document);

}  // namespace quillet::host
