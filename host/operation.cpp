#include "host/operation.h"

#include <exception>

#include "host/answer.h"
#include "host/json_string.h"
#include "host/missing_arg.h"
#include "host/text_conversion.h"

namespace quillet::host {

nlohmann::json Operation::run() {
  try {
    return execute();
  } catch (const std::exception& error) {
    return makeErrorAnswer(Utf8ToWide(error.what()));
  }
}

const nlohmann::json* Operation::findParam(const char* name) const {
  const nlohmann::json& request = message->request;
  if (!request.is_object()) return nullptr;
  auto found = request.find(name);
  return found == request.end() ? nullptr : &*found;
}

const nlohmann::json& Operation::requiredParam(const char* name) const {
  const nlohmann::json* value = findParam(name);
  if (value == nullptr) throw MissingArg(name);
  return *value;
}

std::string Operation::optionalString(const char* name) const {
  const nlohmann::json* value = findParam(name);
  return value == nullptr ? std::string() : jsonString(*value);
}

std::string Operation::xmlParam() const { return jsonString(requiredParam("xml")); }

}  // namespace quillet::host
