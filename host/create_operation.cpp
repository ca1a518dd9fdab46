#include "host/create_operation.h"

#include <string>

#include "host/json_string.h"
#include "host/operations.h"

namespace quillet::host {

namespace {

// Returns the operation named by code.
std::unique_ptr<Operation> operationFor(const std::string& code) {
  if (code == "sign") return std::make_unique<SignOperation>();
  if (code == "verify") return std::make_unique<VerifyOperation>();
  if (code == "promptCertificate") return std::make_unique<PromptCertificateOperation>();
  if (code == "getVersion") return std::make_unique<GetVersionOperation>();
  return std::make_unique<UnknownOperation>(code);
}

}  // namespace

std::unique_ptr<Operation> createOperation(BrowserMessage& message) {
  const nlohmann::json& request = message.request;
  std::unique_ptr<Operation> operation;
  if (request.is_object() && request.contains("actionCode")) {
    operation = operationFor(jsonString(request.at("actionCode")));
  } else {
    operation = std::make_unique<UnknownOperation>(std::string());
  }
  operation->message = &message;
  return operation;
}

}  // namespace quillet::host
