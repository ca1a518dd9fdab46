// Serialising a JSON document without recursion.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace quillet::host {

// Returns the document serialised compactly, exactly as the library's dump() writes it
// (sorted keys, no white space), however deeply it is nested: containers are walked with
// a stack on the heap, only scalar values and keys are serialised by the library. A request
// nested a million levels deep is echoed like any other. Throws what dump() throws for a
// string that is not UTF-8 (the parser never produces one).
std::string compactJson(const nlohmann::json& document);

}  // namespace quillet::host
