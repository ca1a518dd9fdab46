// The operation for a request whose "actionCode" is missing or names no operation.
#pragma once

#include <string>
#include <utility>

#include "host/operation.h"

namespace quillet::host {

// Never succeeds: fails with "Неизвестный код операции ' " + unknownCode + " '".
class UnknownOperation : public Operation {
 public:
  // Makes the operation for the unmatched code ("" when the request had none).
  explicit UnknownOperation(std::string code) : unknownCode(std::move(code)) {}

  // The "actionCode" text that matched no operation, or "".
  const std::string unknownCode;

 protected:
  nlohmann::json execute() override;
};

}  // namespace quillet::host
