#include "host/text_conversion.h"

#include <cstdint>
#include <stdexcept>

namespace {

[[noreturn]] void badConversion() { throw std::range_error("bad conversion"); }

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }
bool isHighSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The length of the sequence that lead begins, or 0 when lead cannot begin one.
std::size_t sequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Decodes the sequence at text[pos] and advances pos past it; throws for malformed input.
std::uint32_t decodeSequence(const std::string& text, std::size_t& pos) {
  static const std::uint32_t kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  static const std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  auto lead = static_cast<unsigned char>(text[pos]);
  std::size_t length = sequenceLength(lead);
  if (length == 0 || text.size() - pos < length) badConversion();
  std::uint32_t codePoint = lead & kLeadMask[length];
  for (std::size_t i = 1; i < length; ++i) {
    auto byte = static_cast<unsigned char>(text[pos + i]);
    if (!isContinuation(byte)) badConversion();
    codePoint = (codePoint << 6) | (byte & 0x3F);
  }
  if (codePoint < kSmallest[length] || codePoint > 0x10FFFF ||
      (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    badConversion();
  }
  pos += length;
  return codePoint;
}

// Appends the UTF-8 form of codePoint (at most 0x10FFFF, no surrogate) to out.
void encodeCodePoint(std::uint32_t codePoint, std::string& out) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

}  // namespace

std::wstring Utf8ToWide(const std::string& text) {
  std::wstring wide;
  wide.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::uint32_t codePoint = decodeSequence(text, pos);
    if (codePoint < 0x10000) {
      wide.push_back(static_cast<wchar_t>(codePoint));
    } else {
      codePoint -= 0x10000;
      wide.push_back(static_cast<wchar_t>(0xD800 + (codePoint >> 10)));
      wide.push_back(static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF)));
    }
  }
  return wide;
}

void CheckUtf8(const std::string& text) {
  std::size_t pos = 0;
  while (pos < text.size()) decodeSequence(text, pos);
}

std::string WideToUtf8(const std::wstring& text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto unit = static_cast<std::uint32_t>(text[i]);
    if (unit > 0xFFFF || isLowSurrogate(unit)) badConversion();
    if (isHighSurrogate(unit)) {
      if (i + 1 == text.size()) badConversion();
      auto low = static_cast<std::uint32_t>(text[i + 1]);
      if (!isLowSurrogate(low)) badConversion();
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      ++i;
    }
    encodeCodePoint(unit, narrow);
  }
  return narrow;
}
