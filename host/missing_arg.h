// The error for a request parameter that is absent.
#pragma once

#include <exception>
#include <string>

namespace quillet::host {

// Raised by Operation::requiredParam for a parameter the request does not hold.
class MissingArg : public std::exception {
 public:
  // Makes the error for the parameter name (UTF-8).
  explicit MissingArg(const std::string& name);
  // Returns "Параметр '" + name + "' отсутствует или имеет пустое значение" (UTF-8).
  const char* what() const noexcept override;

 private:
  std::string message_;
};

}  // namespace quillet::host
