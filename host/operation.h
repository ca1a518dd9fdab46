// The operation a request asks for, and the readers of its parameters.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "host/browser_message.h"

namespace quillet::host {

// The abstract operation. createOperation (host/create_operation.h) makes the kind the
// request's "actionCode" names; the loop runs it once through run().
class Operation {
 public:
  virtual ~Operation() = default;

  // Returns the answer of execute(); an error of the std::exception family raised inside
  // becomes makeErrorAnswer of its text. Throws only when that text is not valid UTF-8.
  nlohmann::json run();

  // The message the operation was made for; not owned, outlives the operation. Not const:
  // an operation may take over the request's large strings (the documents to sign).
  BrowserMessage* message = nullptr;

 protected:
  // Carries the operation out and returns a new answer document, or throws.
  virtual nlohmann::json execute() = 0;

  // Returns the request's member name, whatever its value (null and "" count as given).
  // Throws MissingArg when the request has no such member.
  const nlohmann::json& requiredParam(const char* name) const;
  // Returns the string value of the member name, or "" when it is absent. Throws
  // JsonTypeError when it is present but not a string.
  std::string optionalString(const char* name) const;
  // Returns the string value of the required member "xml" (MissingArg, JsonTypeError).
  std::string xmlParam() const;

 private:
  // Returns the member name of the request, or null when there is none.
  const nlohmann::json* findParam(const char* name) const;
};

}  // namespace quillet::host
