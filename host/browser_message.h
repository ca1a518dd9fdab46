// One request from the browser, read from the host's input: a 4-byte little-endian length N
// followed by N bytes of UTF-8 JSON text, with nothing between messages.
#pragma once

#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

namespace quillet::host {

// A received request: its text and its parsed document.
class BrowserMessage {
 public:
  // Reads the next message from input (a binary, unbuffered stream). Returns true with text
  // and request filled; false when the input has ended, also inside a length or a body (a
  // partial message is dropped). Throws std::logic_error for a read error inside a message,
  // std::runtime_error with parseErrorText (host/parse_error_text.h) of the library's parse
  // error for a body that is not JSON (the parser sees the bytes up to the first NUL), and
  // std::range_error("bad conversion") for a body that is not UTF-8.
  // Echoes the parsed request to the debugger output, re-serialised, with the value of a
  // "password" member masked.
  bool read(std::FILE* input);

  // The whole body converted to UTF-16, followed by one NUL. Converted when asked for:
  // read has already checked that the body is UTF-8, so this never throws a conversion
  // error. Empty before a successful read.
  std::wstring text() const;

  // Frees the received bytes once nobody will ask for text() (the host's loop never does):
  // a large request's bytes then do not stay beside its parsed strings. text() is empty
  // afterwards.
  void forgetText();

  // The parsed request; null until a read succeeds.
  nlohmann::json request;

 private:
  // The received bytes and the appended NUL, kept as received: a few bytes a character
  // instead of four for a UTF-16 copy that hardly anybody reads.
  std::string body_;
};

}  // namespace quillet::host
