#include "host/result_error.h"

#include "host/result_message.h"
#include "host/text_conversion.h"

namespace quillet::host {

ResultError::ResultError(int code)
    : std::runtime_error(WideToUtf8(resultMessage(code))), code_(code) {}

}  // namespace quillet::host
