#include "tests/support/framing.h"

#include <cstdint>

namespace quillet::test {

std::string lengthPrefix(std::uint32_t length) {
  std::string prefix(4, '\0');
  for (int i = 0; i < 4; ++i) prefix[i] = static_cast<char>((length >> (8 * i)) & 0xFF);
  return prefix;
}

std::string frame(std::string_view body) {
  return lengthPrefix(static_cast<std::uint32_t>(body.size())) + std::string(body);
}

SplitFrames splitFrames(std::string_view raw) {
  SplitFrames result;
  std::size_t pos = 0;
  while (raw.size() - pos >= 4) {
    std::uint32_t length = 0;
    for (int i = 0; i < 4; ++i) {
      length |= static_cast<std::uint32_t>(static_cast<unsigned char>(raw[pos + i])) << (8 * i);
    }
    if (raw.size() - pos - 4 < length) break;
    result.bodies.emplace_back(raw.substr(pos + 4, length));
    pos += 4 + length;
  }
  result.rest = std::string(raw.substr(pos));
  return result;
}

}  // namespace quillet::test
