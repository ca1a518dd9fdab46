#include "host/json_string.h"

namespace quillet::host {

JsonTypeError::JsonTypeError(const nlohmann::json& value)
    : std::domain_error(std::string("type must be string, but is ") + value.type_name()) {}

std::string jsonString(const nlohmann::json& value) {
  if (!value.is_string()) throw JsonTypeError(value);
  // Copied straight into the result: no temporary copy of a value (the PIN) is left behind.
  return value.get_ref<const std::string&>();
}

}  // namespace quillet::host
