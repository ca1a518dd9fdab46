// What the debugger output shows of a request.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace quillet::host {

// The text that stands in the debugger output for the value of a "password" member.
extern const char* const kPasswordMask;

// Returns the request serialised compactly, as the answers are, with the value of its
// top-level "password" member (the key container's PIN) replaced by kPasswordMask. The
// request itself is not changed. Any depth of nesting is echoed whole, without recursion.
std::string requestEcho(const nlohmann::json& request);

}  // namespace quillet::host
