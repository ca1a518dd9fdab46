#include "host/text_conversion.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace quillet::host {

namespace {

using Byte = unsigned char;

[[noreturn]] void badConversion() { throw std::range_error("bad conversion"); }

bool isContinuation(Byte byte) { return (byte & 0xC0) == 0x80; }
bool isHighSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// True when the eight bytes at p are all ASCII.
bool eightAscii(const Byte* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return (word & 0x8080808080808080ull) == 0;
}

// The length of the sequence that lead begins, or 0 when lead cannot begin one.
std::size_t sequenceLength(Byte lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Decodes the sequence at *p (before end) and advances *p past it; throws for malformed
// input: a byte that cannot begin a sequence, a sequence cut off by the end, a following
// byte that is not a continuation, an overlong form, a surrogate or a value above 0x10FFFF.
std::uint32_t decodeSequence(const Byte** p, const Byte* end) {
  static const std::uint32_t kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  static const std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  const Byte* at = *p;
  const std::size_t length = sequenceLength(*at);
  if (length == 0 || static_cast<std::size_t>(end - at) < length) badConversion();
  std::uint32_t codePoint = *at & kLeadMask[length];
  for (std::size_t i = 1; i < length; ++i) {
    if (!isContinuation(at[i])) badConversion();
    codePoint = (codePoint << 6) | (at[i] & 0x3F);
  }
  if (codePoint < kSmallest[length] || codePoint > 0x10FFFF ||
      (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    badConversion();
  }
  *p = at + length;
  return codePoint;
}

// Decodes the whole of [p, end), handing each code point to put. ASCII runs and two-byte
// sequences (Cyrillic) take a short road; everything else is decoded by decodeSequence.
template <typename Put>
void decodeAll(const Byte* p, const Byte* end, Put&& put) {
  while (p != end) {
    const Byte lead = *p;
    if (lead < 0x80) {
      if (end - p >= 8 && eightAscii(p)) {
        for (int i = 0; i < 8; ++i) put(p[i]);
        p += 8;
      } else {
        put(lead);
        ++p;
      }
    } else if (lead >= 0xC2 && lead <= 0xDF && end - p >= 2 && isContinuation(p[1])) {
      put(((lead & 0x1Fu) << 6) | (p[1] & 0x3Fu));
      p += 2;
    } else {
      put(decodeSequence(&p, end));
    }
  }
}

// The UTF-16 units that well-formed UTF-8 in [p, end) converts to: one for each byte
// that begins a sequence, two for a four-byte one. Never fewer than malformed input
// converts to before its fault is found.
std::size_t utf16Units(const Byte* p, const Byte* end) {
  std::size_t units = 0;
  for (; p != end; ++p) units += static_cast<std::size_t>(!isContinuation(*p)) + (*p >= 0xF0);
  return units;
}

// The UTF-8 bytes of the UTF-16 text: a surrogate unit counts two (a pair makes four).
std::size_t utf8Bytes(const std::wstring& text) {
  std::size_t bytes = 0;
  for (const wchar_t c : text) {
    const auto unit = static_cast<std::uint32_t>(c);
    bytes += unit < 0x80 ? 1 : unit < 0x800 || (unit >= 0xD800 && unit <= 0xDFFF) ? 2 : 3;
  }
  return bytes;
}

// Writes codePoint (at most 0x10FFFF, no surrogate) as UTF-8 at out; returns the end.
char* encodeCodePoint(std::uint32_t codePoint, char* out) {
  if (codePoint < 0x80) {
    *out++ = static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    *out++ = static_cast<char>(0xC0 | (codePoint >> 6));
    *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (codePoint >> 12));
    *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (codePoint >> 18));
    *out++ = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
  }
  return out;
}

const Byte* bytesOf(const std::string& text) { return reinterpret_cast<const Byte*>(text.data()); }

}  // namespace

std::wstring Utf8ToWide(const std::string& text) {
  const Byte* begin = bytesOf(text);
  const Byte* end = begin + text.size();
  // Sized once for the exact result of well-formed text; malformed text throws first.
  std::wstring wide(utf16Units(begin, end), L'\0');
  wchar_t* out = wide.data();
  decodeAll(begin, end, [&out](std::uint32_t codePoint) {
    if (codePoint < 0x10000) {
      *out++ = static_cast<wchar_t>(codePoint);
    } else {
      codePoint -= 0x10000;
      *out++ = static_cast<wchar_t>(0xD800 + (codePoint >> 10));
      *out++ = static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF));
    }
  });
  return wide;
}

void CheckUtf8(const std::string& text) { CheckUtf8(text.data(), text.size()); }

void CheckUtf8(const char* text, std::size_t length) {
  const auto* begin = reinterpret_cast<const Byte*>(text);
  decodeAll(begin, begin + length, [](std::uint32_t) {});
}

std::string WideToUtf8(const std::wstring& text) {
  std::string narrow(utf8Bytes(text), '\0');
  char* out = narrow.data();
  const std::size_t size = text.size();
  for (std::size_t i = 0; i < size; ++i) {
    auto unit = static_cast<std::uint32_t>(text[i]);
    if (unit < 0x80) {
      *out++ = static_cast<char>(unit);
      continue;
    }
    if (unit > 0xFFFF || isLowSurrogate(unit)) badConversion();
    if (isHighSurrogate(unit)) {
      if (i + 1 == size) badConversion();
      const auto low = static_cast<std::uint32_t>(text[i + 1]);
      if (!isLowSurrogate(low)) badConversion();
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      ++i;
    }
    out = encodeCodePoint(unit, out);
  }
  return narrow;
}

}  // namespace quillet::host
