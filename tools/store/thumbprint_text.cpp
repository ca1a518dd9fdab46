#include "tools/store/thumbprint_text.h"

#include <cstring>

namespace quillet::store_tool {
namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string HexText(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i != 0) text.push_back(' ');
    const auto byte = static_cast<unsigned char>(bytes[i]);
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0F]);
  }
  return text;
}

bool ParseHexText(const std::string& text, std::string* bytes) {
  bytes->clear();
  int high = -1;
  for (char c : text) {
    const int value = DigitValue(c);
    if (value < 0) {
      if (std::strchr(" \t\r\n-,", c) == nullptr || c == '\0' || high >= 0) return false;
      continue;
    }
    if (high < 0) {
      high = value;
    } else {
      bytes->push_back(static_cast<char>(high << 4 | value));
      high = -1;
    }
  }
  return high < 0 && !bytes->empty();
}

}  // namespace quillet::store_tool
