// Reading a JSON value as a string, with the type error the user reads.
#pragma once

#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace quillet::host {

// The error for a JSON value of the wrong type. Its text is exactly "type must be string, but
// is " followed by the type's name ("null", "object", "array", "boolean", "number", ...),
// with none of the JSON library's own "[json.exception...]" prefix.
class JsonTypeError : public std::domain_error {
 public:
  // Makes the error for a value that should have been a string.
  explicit JsonTypeError(const nlohmann::json& value);
};

// Returns the value's string; throws JsonTypeError when it is not a JSON string.
std::string jsonString(const nlohmann::json& value);

}  // namespace quillet::host
