#include "host/missing_arg.h"

namespace quillet::host {

MissingArg::MissingArg(const std::string& name)
    : message_("Параметр '" + name + "' отсутствует или имеет пустое значение") {}

const char* MissingArg::what() const noexcept { return message_.c_str(); }

}  // namespace quillet::host
