#include "host/framing.h"

#include <cstdint>

namespace quillet::host {

void writeFramedMessage(std::FILE* output, const std::string& text) {
  if (std::ferror(output)) return;
  auto length = static_cast<std::uint32_t>(text.size());
  const unsigned char prefix[4] = {
      static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8),
      static_cast<unsigned char>(length >> 16), static_cast<unsigned char>(length >> 24)};
  if (std::fwrite(prefix, 1, sizeof prefix, output) == sizeof prefix) {
    std::fwrite(text.data(), 1, text.size(), output);
  }
  std::fflush(output);
}

}  // namespace quillet::host
