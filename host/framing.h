// Writing one message to the browser: a 4-byte little-endian length and the text's bytes.
#pragma once

#include <cstdio>
#include <string>

namespace quillet::host {

// Writes text (UTF-8) framed to output and flushes. Never throws. Once output has failed
// (the browser closed it), this and every later message is dropped silently.
void writeFramedMessage(std::FILE* output, const std::string& text);

}  // namespace quillet::host
