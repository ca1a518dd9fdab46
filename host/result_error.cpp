#include "host/result_error.h"

#include "host/result_message.h"
#include "host/text_conversion.h"

ResultError::ResultError(int code)
    : std::runtime_error(WideToUtf8(resultMessage(code))), code_(code) {}
