#include "host/compact_json.h"

#include <vector>

namespace quillet::host {

namespace {

using Json = nlohmann::json;

// The library's serialiser, writing into one string: scalars and keys are written by the
// library, in its own chunks, straight onto the end of the text.
class Writer {
 public:
  explicit Writer(std::string& out)
      : out_(out), library_(nlohmann::detail::output_adapter<char, std::string>(out), ' ') {}

  void value(const Json& value) { library_.dump(value, false, false, 0); }
  void key(const std::string& name) { value(Json(name)); }
  void put(char c) { out_ += c; }

 private:
  std::string& out_;
  nlohmann::detail::serializer<Json> library_;
};

// A container being written and the next of its elements.
struct OpenContainer {
  const Json* container;
  Json::const_iterator next;
};

// Writes value, or the opening bracket of a non-empty container, which is then put on
// the stack (an empty one is written whole, as the library writes it).
void writeOrOpen(const Json& value, Writer& out, std::vector<OpenContainer>& open) {
  if (!value.is_structured() || value.empty()) {
    out.value(value);
    return;
  }
  out.put(value.is_object() ? '{' : '[');
  open.push_back({&value, value.cbegin()});
}

}  // namespace

std::string compactJson(const nlohmann::json& document) {
  std::string text;
  Writer out(text);
  std::vector<OpenContainer> open;
  writeOrOpen(document, out, open);
  while (!open.empty()) {
    OpenContainer& top = open.back();
    if (top.next == top.container->cend()) {
      out.put(top.container->is_object() ? '}' : ']');
      open.pop_back();
      continue;
    }
    if (top.next != top.container->cbegin()) out.put(',');
    const auto element = top.next++;
    if (top.container->is_object()) {
      out.key(element.key());
      out.put(':');
    }
    writeOrOpen(*element, out, open);  // may move the stack: top is not used after this
  }
  return text;
}

}  // namespace quillet::host
