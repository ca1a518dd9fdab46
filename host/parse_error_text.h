// The text of a request's JSON parse error, as the host reports it on its fatal path.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace quillet::host {

// Returns the library's text of error without the part that quotes the request: the
// library ends a lexical error with "; last read: '" + the bytes of the token it was reading
// + "'" (which may be a PIN cut off or followed by a control character), then perhaps
// "; expected " + a token name. That quoted part is left out; the kind of error, its
// position (line and byte column) and the expected token stay as the library wrote them:
//   [json.exception.parse_error.101] parse error at line 1, column 34: syntax error while
//   parsing value - invalid string: missing closing quote
// A text without the quoted part is returned unchanged.
std::string parseErrorText(const nlohmann::json::parse_error& error);

}  // namespace quillet::host
