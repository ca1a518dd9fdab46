#include "host/operations.h"

#include <stdexcept>

namespace quillet::host {

nlohmann::json UnknownOperation::execute() {
  throw std::invalid_argument("Неизвестный код операции ' " + unknownCode + " '");
}

}  // namespace quillet::host
