#include "tools/store/thumbprint_text.h"

#include <vector>

#include "platform/win32.h"

namespace quillet::store_tool {

std::string hexText(const std::string& bytes) {
  const auto* data = reinterpret_cast<const BYTE*>(bytes.data());
  const auto size = static_cast<DWORD>(bytes.size());
  constexpr DWORD kOneLine = CRYPT_STRING_HEX | CRYPT_STRING_NOCRLF;
  DWORD length = 0;
  if (!CryptBinaryToStringW(data, size, kOneLine, nullptr, &length)) return std::string();
  std::wstring text(length, L'\0');
  if (!CryptBinaryToStringW(data, size, kOneLine, text.data(), &length)) return std::string();
  // Hex digits and spaces only: each UTF-16 unit is one ASCII character.
  return std::string(text.begin(), text.begin() + length);
}

bool parseHexText(const std::string& text, std::string* bytes) {
  bytes->clear();
  // Each byte of the text becomes one unit, so that a non-ASCII byte stays a character
  // that is not hex. A NUL inside is refused here: the platform reads up to its length.
  std::wstring wide;
  for (char c : text) {
    if (c == '\0') return false;
    wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  }
  if (wide.empty()) return false;
  const auto length = static_cast<DWORD>(wide.size());
  DWORD size = 0;
  if (!CryptStringToBinaryW(wide.c_str(), length, CRYPT_STRING_HEX, nullptr, &size, nullptr,
                            nullptr) ||
      size == 0) {
    return false;  // not hex, or separators only
  }
  std::vector<BYTE> decoded(size);
  if (!CryptStringToBinaryW(wide.c_str(), length, CRYPT_STRING_HEX, decoded.data(), &size, nullptr,
                            nullptr)) {
    return false;
  }
  bytes->assign(decoded.begin(), decoded.begin() + size);
  return true;
}

}  // namespace quillet::store_tool
