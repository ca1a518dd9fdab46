#include "proxy/module_path.h"

namespace quillet::proxy {

const wchar_t kPathSeparator = L'/';

}  // namespace quillet::proxy
