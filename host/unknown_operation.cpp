#include "host/unknown_operation.h"

#include <stdexcept>

nlohmann::json UnknownOperation::execute() {
  throw std::invalid_argument("Неизвестный код операции ' " + unknownCode + " '");
}
