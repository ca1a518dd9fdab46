// How the library's exports report their steps: lines sent to the host's TraceCallback.
#pragma once

#include <string>

#include "proxy/quillet_proxy.h"

namespace quillet::proxy {

// The trace of one export call.
class Tracer {
 public:
  // Lines go to callback; a NULL callback drops them.
  explicit Tracer(TraceCallback callback) : callback_(callback) {}

  // Sends one line with its code (0 for progress) and system error number (or 0).
  void line(const std::wstring& text, int code = 0, DWORD systemError = 0) const;

 private:
  TraceCallback callback_;
};

// Returns text with each byte as one UTF-16 unit, the way libxml2's messages are traced.
// NULL gives the empty text.
std::wstring bytesAsWide(const char* text);

}  // namespace quillet::proxy
