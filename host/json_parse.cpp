#include "host/json_parse.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace quillet::host {

namespace {

using Json = nlohmann::json;

// Builds the document from the library's parser events as the library's own builder
// (nlohmann::detail::json_sax_dom_parser) does, but takes strings and keys over from the
// parser's buffer instead of copying them. Containers are kept on a stack on the heap, so
// any depth of nesting is built without recursion.
class MovingDocumentBuilder {
 public:
  explicit MovingDocumentBuilder(Json& root) : root_(root) {}

  bool null() { return place(nullptr) != nullptr; }
  bool boolean(bool value) { return place(value) != nullptr; }
  bool number_integer(Json::number_integer_t value) { return place(value) != nullptr; }
  bool number_unsigned(Json::number_unsigned_t value) { return place(value) != nullptr; }
  bool number_float(Json::number_float_t value, const Json::string_t& /*text*/) {
    return place(value) != nullptr;
  }
  bool string(Json::string_t& value) { return place(std::move(value)) != nullptr; }
  bool binary(Json::binary_t& value) { return place(std::move(value)) != nullptr; }

  bool start_object(std::size_t /*size*/) {
    open_.push_back(place(Json::value_t::object));
    return true;
  }
  // A repeated key names the member already there, whose value the next one replaces, as
  // in the library's builder.
  bool key(Json::string_t& name) {
    member_ = &open_.back()->operator[](std::move(name));
    return true;
  }
  bool end_object() { return close(); }
  bool start_array(std::size_t /*size*/) {
    open_.push_back(place(Json::value_t::array));
    return true;
  }
  bool end_array() { return close(); }

  // The library's error, raised as its own builder raises it.
  template <class Exception>
  bool parse_error(std::size_t /*position*/, const std::string& /*token*/, const Exception& error) {
    throw error;
  }

 private:
  // Puts value where the parser is: the root, the next element of the open array, or the
  // value of the member just named. Returns where it now lives.
  template <typename Value>
  Json* place(Value&& value) {
    if (open_.empty()) {
      root_ = Json(std::forward<Value>(value));
      return &root_;
    }
    Json& container = *open_.back();
    if (container.is_array()) return &container.emplace_back(std::forward<Value>(value));
    *member_ = Json(std::forward<Value>(value));
    return member_;
  }

  bool close() {
    open_.pop_back();
    return true;
  }

  Json& root_;
  std::vector<Json*> open_;
  Json* member_ = nullptr;
};

}  // namespace

nlohmann::json parseJson(const char* text) {
  Json document;
  MovingDocumentBuilder builder(document);
  Json::sax_parse(text, &builder);
  return document;
}

}  // namespace quillet::host
