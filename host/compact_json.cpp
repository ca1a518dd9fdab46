#include "host/compact_json.h"

#include <vector>

namespace {

// A container being written and the next of its elements.
struct OpenContainer {
  const nlohmann::json* container;
  nlohmann::json::const_iterator next;
};

// Writes value, or the opening bracket of a non-empty container, which is then put on
// the stack (an empty one is written whole, as the library writes it).
void writeOrOpen(const nlohmann::json& value, std::string& out, std::vector<OpenContainer>& open) {
  if (!value.is_structured() || value.empty()) {
    out += value.dump();
    return;
  }
  out += value.is_object() ? '{' : '[';
  open.push_back({&value, value.cbegin()});
}

}  // namespace

std::string compactJson(const nlohmann::json& document) {
  std::string out;
  std::vector<OpenContainer> open;
  writeOrOpen(document, out, open);
  while (!open.empty()) {
    OpenContainer& top = open.back();
    if (top.next == top.container->cend()) {
      out += top.container->is_object() ? '}' : ']';
      open.pop_back();
      continue;
    }
    if (top.next != top.container->cbegin()) out += ',';
    const auto element = top.next++;
    if (top.container->is_object()) {
      out += nlohmann::json(element.key()).dump();
      out += ':';
    }
    writeOrOpen(*element, out, open);  // may move the stack: top is not used after this
  }
  return out;
}
