#include "host/missing_arg.h"

MissingArg::MissingArg(const std::string& name)
    : message_("Параметр '" + name + "' отсутствует или имеет пустое значение") {}

const char* MissingArg::what() const noexcept { return message_.c_str(); }
