#include "host/parent_window.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace quillet::host {

std::int32_t parentWindowHandle = 0;

namespace {

constexpr char kPrefix[] = "--parent-window=";
constexpr std::size_t kPrefixLength = sizeof kPrefix - 1;

// Reads text as atol does, clamped to the 32-bit range (atol's own result is undefined
// outside the range of long).
std::int32_t readNumber(const char* text) {
  errno = 0;
  long long value = std::strtoll(text, nullptr, 10);
  if (value > std::numeric_limits<std::int32_t>::max()) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (value < std::numeric_limits<std::int32_t>::min()) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::int32_t parentWindowFromArguments(int argc, char* argv[]) {
  std::int32_t handle = 0;
  for (int i = 0; i < argc && handle == 0; ++i) {
    if (std::strncmp(argv[i], kPrefix, kPrefixLength) == 0) {
      handle = readNumber(argv[i] + kPrefixLength);
    }
  }
  return handle;
}

}  // namespace quillet::host
