#include "host/request_echo.h"

#include "host/compact_json.h"

namespace quillet::host {

const char* const kPasswordMask = "********";

// The members are serialised one by one, as the library serialises an object (sorted keys,
// no white space), so that a large request is not copied only to mask its password. Nothing
// here recurses: a deeply nested request is echoed whole.
std::string requestEcho(const nlohmann::json& request) {
  if (!request.is_object() || !request.contains("password")) return compactJson(request);
  std::string echo = "{";
  for (auto member = request.begin(); member != request.end(); ++member) {
    if (echo.size() > 1) echo += ',';
    echo += nlohmann::json(member.key()).dump();
    echo += ':';
    echo += member.key() == "password" ? nlohmann::json(kPasswordMask).dump()
                                       : compactJson(member.value());
  }
  echo += '}';
  return echo;
}

}  // namespace quillet::host
