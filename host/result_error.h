// The error that ends a request when an engine or certificate step reports a non-zero result
// code: its text is the code's message (host/result_message.h) in UTF-8, which
// Operation::run puts into the error answer.
#pragma once

#include <stdexcept>

namespace quillet::host {

// A failed result code raised at request level.
class ResultError : public std::runtime_error {
 public:
  // Makes the error of code; what() is resultMessage(code) in UTF-8.
  explicit ResultError(int code);
  // Returns the result code.
  int code() const noexcept { return code_; }

 private:
  int code_;
};

}  // namespace quillet::host
