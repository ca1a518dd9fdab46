#include "platform/code_page.h"

#include <string>

#include "platform/last_error.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes one UTF-8 sequence at in[*pos] (end excluded), advancing *pos past it. Returns
// the code point, or kInvalid for a malformed sequence (*pos then moves past the longest
// prefix that could have started a valid sequence, at least one byte).
char32_t decodeUtf8(const unsigned char* in, std::size_t end, std::size_t* pos) {
  const unsigned char lead = in[(*pos)++];
  if (lead < 0x80) return lead;
  int extra = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, value = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, value = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, value = lead & 0x07, minimum = 0x10000;
  } else {
    return kInvalid;
  }
  for (int i = 0; i < extra; ++i) {
    if (*pos >= end || (in[*pos] & 0xC0) != 0x80) return kInvalid;
    value = (value << 6) | (in[(*pos)++] & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return kInvalid;
  }
  return value;
}

// Decodes one UTF-16 character at in[*pos], advancing *pos. Returns kInvalid for a lone
// surrogate.
char32_t decodeUtf16(const wchar_t* in, std::size_t end, std::size_t* pos) {
  const char32_t unit = static_cast<char16_t>(in[(*pos)++]);
  if (unit < 0xD800 || unit > 0xDFFF) return unit;
  if (unit >= 0xDC00 || *pos >= end) return kInvalid;
  const char32_t low = static_cast<char16_t>(in[*pos]);
  if (low < 0xDC00 || low > 0xDFFF) return kInvalid;
  ++*pos;
  return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
}

// Where converted units go: counted always, stored while they fit (nothing is stored
// without a buffer), so that a conversion needs no copy of the whole text of its own.
template <typename Unit>
struct Sink {
  Unit* output = nullptr;
  std::size_t capacity = 0;
  std::size_t count = 0;
  void put(char32_t unit) {
    if (count < capacity) output[count] = static_cast<Unit>(unit);
    ++count;
  }
};

template <typename Unit>
void appendUtf16(char32_t c, Sink<Unit>* out) {
  if (c < 0x10000) {
    out->put(c);
  } else {
    c -= 0x10000;
    out->put(0xD800 + (c >> 10));
    out->put(0xDC00 + (c & 0x3FF));
  }
}

template <typename Unit>
void appendUtf8(char32_t c, Sink<Unit>* out) {
  if (c < 0x80) {
    out->put(c);
  } else if (c < 0x800) {
    out->put(0xC0 | (c >> 6));
    out->put(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out->put(0xE0 | (c >> 12));
    out->put(0x80 | ((c >> 6) & 0x3F));
    out->put(0x80 | (c & 0x3F));
  } else {
    out->put(0xF0 | (c >> 18));
    out->put(0x80 | ((c >> 12) & 0x3F));
    out->put(0x80 | ((c >> 6) & 0x3F));
    out->put(0x80 | (c & 0x3F));
  }
}

// Checks the arguments both directions share; sets ERROR_INVALID_PARAMETER when they fail.
bool argumentsValid(UINT code_page, DWORD flags, DWORD allowed_flags, const void* input,
                    int input_length, int output_size) {
  if (code_page != CP_UTF8 || (flags & ~allowed_flags) != 0 || input == nullptr ||
      input_length == 0 || input_length < -1 || output_size < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return true;
}

// Runs convert (which returns false for a character it refuses) once to count and check,
// then, when there is an output buffer, again to store: the count when only the size was
// asked for, else the units if they fit, else ERROR_INSUFFICIENT_BUFFER after storing what
// fits. A refused character leaves the output untouched.
template <typename Unit, typename Convert>
int deliver(Convert convert, Unit* output, int output_size) {
  Sink<Unit> counted;
  if (!convert(&counted)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  const int needed = static_cast<int>(counted.count);
  if (output_size == 0) return needed;
  Sink<Unit> stored{output, static_cast<std::size_t>(output_size)};
  convert(&stored);
  if (needed > output_size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  return needed;
}

}  // namespace

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
  if (!argumentsValid(CodePage, dwFlags, MB_ERR_INVALID_CHARS, lpMultiByteStr, cbMultiByte,
                      cchWideChar)) {
    return 0;
  }
  const auto* in = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
  const std::size_t end = cbMultiByte == -1 ? std::char_traits<char>::length(lpMultiByteStr) + 1
                                            : static_cast<std::size_t>(cbMultiByte);
  const bool strict = (dwFlags & MB_ERR_INVALID_CHARS) != 0;
  auto convert = [&](Sink<WCHAR>* out) {
    for (std::size_t pos = 0; pos < end;) {
      const char32_t c = decodeUtf8(in, end, &pos);
      if (c == kInvalid && strict) return false;
      appendUtf16(c == kInvalid ? kReplacement : c, out);
    }
    return true;
  };
  return deliver(convert, lpWideCharStr, cchWideChar);
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar,
                               LPBOOL lpUsedDefaultChar) {
  if (!argumentsValid(CodePage, dwFlags, WC_ERR_INVALID_CHARS, lpWideCharStr, cchWideChar,
                      cbMultiByte)) {
    return 0;
  }
  if (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::size_t end = cchWideChar == -1 ? std::char_traits<wchar_t>::length(lpWideCharStr) + 1
                                            : static_cast<std::size_t>(cchWideChar);
  const bool strict = (dwFlags & WC_ERR_INVALID_CHARS) != 0;
  auto convert = [&](Sink<char>* out) {
    for (std::size_t pos = 0; pos < end;) {
      const char32_t c = decodeUtf16(lpWideCharStr, end, &pos);
      if (c == kInvalid && strict) return false;
      appendUtf8(c == kInvalid ? kReplacement : c, out);
    }
    return true;
  };
  return deliver(convert, lpMultiByteStr, cbMultiByte);
}
