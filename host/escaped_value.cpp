#include "host/escaped_value.h"

namespace quillet::host {

namespace {

constexpr wchar_t kHexDigits[] = L"0123456789ABCDEF";

bool needsEscape(wchar_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

// Appends "\x" + 2 hex digits for c up to 0xFF, else "\u" + 4.
void appendEscape(wchar_t c, std::wstring& out) {
  const auto code = static_cast<unsigned>(c);
  const int digits = code <= 0xFF ? 2 : 4;
  out += digits == 2 ? L"\\x" : L"\\u";
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
    out += kHexDigits[(code >> shift) & 0xF];
}

}  // namespace

std::wstring escapedValue(const std::wstring& value) {
  std::wstring out;
  out.reserve(value.size());
  for (wchar_t c : value) {
    if (needsEscape(c)) {
      appendEscape(c, out);
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace quillet::host
