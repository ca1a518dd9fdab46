#include "platform/crypt_string.h"

#include <algorithm>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "platform/last_error.h"

namespace {

constexpr DWORD kBytesPerLine = 16;
constexpr DWORD kLineBreakFlags = CRYPT_STRING_NOCR | CRYPT_STRING_NOCRLF;

// Appends the text of one byte as two lower-case hex digits.
void appendHexByte(BYTE value, std::wstring* text) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  text->push_back(kDigits[value >> 4]);
  text->push_back(kDigits[value & 0x0F]);
}

// Returns the separator written before byte `index` (not the first) of the text.
const wchar_t* separatorBefore(DWORD index, DWORD flags) {
  if (flags & CRYPT_STRING_NOCRLF) return L" ";
  if (index % kBytesPerLine == 0) return (flags & CRYPT_STRING_NOCR) ? L"\n" : L"\r\n";
  return (index % kBytesPerLine == kBytesPerLine / 2) ? L"  " : L" ";
}

// Renders the bytes in CRYPT_STRING_HEX layout with the line-break flags given.
std::wstring renderHex(const BYTE* bytes, DWORD count, DWORD flags) {
  std::wstring text;
  for (DWORD i = 0; i < count; ++i) {
    if (i > 0) text += separatorBefore(i, flags);
    appendHexByte(bytes[i], &text);
  }
  if (count > 0 && !(flags & CRYPT_STRING_NOCRLF)) {
    text += (flags & CRYPT_STRING_NOCR) ? L"\n" : L"\r\n";
  }
  return text;
}

// Returns the value of a hex digit, or -1 for any other character.
int hexDigitValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

bool isByteSeparator(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'-' || c == L',';
}

// Decodes hex text; nothing when it is not valid (odd run of digits, foreign character).
std::optional<std::vector<BYTE>> parseHex(const wchar_t* text, std::size_t length) {
  std::vector<BYTE> bytes;
  std::size_t i = 0;
  while (i < length) {
    if (isByteSeparator(text[i])) {
      ++i;
      continue;
    }
    const int high = hexDigitValue(text[i]);
    const int low = i + 1 < length ? hexDigitValue(text[i + 1]) : -1;
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<BYTE>(high << 4 | low));
    i += 2;
  }
  return bytes;
}

BOOL fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

BOOL WINAPI CryptBinaryToStringW(const BYTE* pbBinary, DWORD cbBinary, DWORD dwFlags,
                                 LPWSTR pszString, DWORD* pcchString) {
  if (pbBinary == nullptr || pcchString == nullptr) return fail(ERROR_INVALID_PARAMETER);
  if ((dwFlags & ~kLineBreakFlags) != CRYPT_STRING_HEX) return fail(ERROR_INVALID_PARAMETER);
  const std::wstring text = renderHex(pbBinary, cbBinary, dwFlags);
  const auto needed = static_cast<DWORD>(text.size() + 1);
  if (pszString == nullptr) {
    *pcchString = needed;
    return TRUE;
  }
  if (*pcchString < needed) return fail(ERROR_MORE_DATA);
  text.copy(pszString, text.size());
  pszString[text.size()] = L'\0';
  *pcchString = needed - 1;
  return TRUE;
}

BOOL WINAPI CryptStringToBinaryW(LPCWSTR pszString, DWORD cchString, DWORD dwFlags, BYTE* pbBinary,
                                 DWORD* pcbBinary, DWORD* pdwSkip, DWORD* pdwFlags) {
  if (pszString == nullptr || pcbBinary == nullptr) return fail(ERROR_INVALID_PARAMETER);
  const DWORD format = dwFlags & ~static_cast<DWORD>(CRYPT_STRING_STRICT);
  if (format != CRYPT_STRING_HEX && format != CRYPT_STRING_HEX_ANY) {
    return fail(ERROR_INVALID_PARAMETER);
  }
  const std::size_t length = cchString != 0 ? cchString : std::wcslen(pszString);
  if (length == 0) return fail(ERROR_INVALID_PARAMETER);
  const std::optional<std::vector<BYTE>> bytes = parseHex(pszString, length);
  if (pbBinary == nullptr) {
    *pcbBinary = bytes ? static_cast<DWORD>(bytes->size()) : 0;
  } else if (!bytes) {
    return fail(ERROR_INVALID_DATA);
  } else if (*pcbBinary < bytes->size()) {
    *pcbBinary = static_cast<DWORD>(bytes->size());
    return fail(ERROR_MORE_DATA);
  } else {
    std::copy(bytes->begin(), bytes->end(), pbBinary);
    *pcbBinary = static_cast<DWORD>(bytes->size());
  }
  if (pdwSkip != nullptr) *pdwSkip = 0;
  if (pdwFlags != nullptr) *pdwFlags = CRYPT_STRING_HEX;
  return TRUE;
}
