// Texts that hold a secret (the PIN) and are overwritten when they go out of scope.
#pragma once

#include <string>

#include "platform/win32.h"

namespace quillet::host {

// Overwrites every character text can hold (its capacity, so also a short text kept inside
// the string object itself, on the stack) with zeros. The size stays as it was.
template <class Text>
void wipeText(Text& text) {
  SecureZeroMemory(text.data(), text.capacity() * sizeof(typename Text::value_type));
}

// Owns a secret text and wipes it on every path out of its scope. Neither copied nor moved:
// a moved short string would leave its characters behind in the moved-from object.
template <class Text>
class WipedText {
 public:
  // Holds the text that make() returns, made in place: a text passed in would leave a
  // temporary copy behind.
  template <class Make>
  explicit WipedText(Make make) : text(make()) {}
  ~WipedText() { wipeText(text); }
  WipedText(const WipedText&) = delete;
  WipedText& operator=(const WipedText&) = delete;

  Text text;
};

}  // namespace quillet::host
