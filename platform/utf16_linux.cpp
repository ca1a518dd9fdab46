#include "platform/utf16_linux.h"

#include <cstdint>
#include <cstring>

namespace quillet::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// True when the eight bytes at text are all ASCII.
bool eightAscii(const unsigned char* text) {
  std::uint64_t word;
  std::memcpy(&word, text, sizeof word);
  return (word & 0x8080808080808080ull) == 0;
}

// The three ways units are put: counted only, stored without a check (the output holds
// the whole result), stored while they fit.
template <typename Unit>
struct Counting {
  std::size_t count = 0;
  void put(char32_t) { ++count; }
};
template <typename Unit>
struct Storing {
  Unit* next;
  void put(char32_t unit) { *next++ = static_cast<Unit>(unit); }
};
template <typename Unit>
struct Bounded {
  UnitSink<Unit>* sink;
  void put(char32_t unit) { sink->put(unit); }
};

// Decodes the UTF-16 character at text[*pos] (*pos < length), advancing *pos past it.
// Returns kMalformedSequence for a lone surrogate or a unit above 0xFFFF (one unit passed).
char32_t decodeUtf16(const wchar_t* text, std::size_t length, std::size_t* pos) {
  const auto unit = static_cast<std::uint32_t>(text[(*pos)++]);
  if (unit < 0xD800 || (unit > 0xDFFF && unit <= 0xFFFF)) return unit;
  if (unit > 0xDBFF || *pos >= length) return kMalformedSequence;
  const auto low = static_cast<std::uint32_t>(text[*pos]);
  if (low < 0xDC00 || low > 0xDFFF) return kMalformedSequence;
  ++*pos;
  return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
}

template <typename Out>
void putUtf16(char32_t c, Out* out) {
  if (c < 0x10000) {
    out->put(c);
  } else {
    c -= 0x10000;
    out->put(0xD800 + (c >> 10));
    out->put(0xDC00 + (c & 0x3FF));
  }
}

template <typename Out>
void putUtf8(char32_t c, Out* out) {
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

}  // namespace

char32_t decodeUtf8(const unsigned char* text, std::size_t length, std::size_t* pos) {
  const unsigned char lead = text[(*pos)++];
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
    return kMalformedSequence;
  }
  for (int i = 0; i < extra; ++i) {
    if (*pos >= length || !isContinuation(text[*pos])) return kMalformedSequence;
    value = (value << 6) | (text[(*pos)++] & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return kMalformedSequence;
  }
  return value;
}

namespace {

template <typename Out>
bool utf8ToUtf16(const unsigned char* in, std::size_t length, Malformed mode, Out* out) {
  for (std::size_t pos = 0; pos < length;) {
    const unsigned char lead = in[pos];
    if (lead < 0x80) {
      if (length - pos >= 8 && eightAscii(in + pos)) {
        for (int i = 0; i < 8; ++i) out->put(in[pos + i]);
        pos += 8;
      } else {
        out->put(lead);
        ++pos;
      }
      continue;
    }
    if (lead >= 0xC2 && lead <= 0xDF && pos + 1 < length && isContinuation(in[pos + 1])) {
      out->put(((lead & 0x1Fu) << 6) | (in[pos + 1] & 0x3Fu));  // Cyrillic and the like
      pos += 2;
      continue;
    }
    const char32_t c = decodeUtf8(in, length, &pos);
    if (c == kMalformedSequence && mode == Malformed::kRefuse) return false;
    putUtf16(c == kMalformedSequence ? kReplacement : c, out);
  }
  return true;
}

template <typename Out>
bool utf16ToUtf8(const wchar_t* text, std::size_t length, Malformed mode, Out* out) {
  for (std::size_t pos = 0; pos < length;) {
    const auto unit = static_cast<std::uint32_t>(text[pos]);
    if (unit < 0x80) {
      out->put(unit);
      ++pos;
    } else if (unit < 0x800) {  // Cyrillic and the like
      out->put(0xC0 | (unit >> 6));
      out->put(0x80 | (unit & 0x3F));
      ++pos;
    } else {
      const char32_t c = decodeUtf16(text, length, &pos);
      if (c == kMalformedSequence && mode == Malformed::kRefuse) return false;
      putUtf8(c == kMalformedSequence ? kReplacement : c, out);
    }
  }
  return true;
}

}  // namespace

// Runs a conversion with the quickest way of putting units that the sink allows.
template <typename Text, typename Unit>
class ConversionSinks {
 public:
  template <typename Convert>
  static bool run(Convert convert, UnitSink<Unit>* sink) {
    if (sink->output_ == nullptr || sink->capacity_ == 0) {
      Counting<Unit> counting;
      const bool done = convert(&counting);
      sink->count_ += counting.count;
      return done;
    }
    if (sink->holdsAll_) {
      Storing<Unit> storing{sink->output_ + sink->count_};
      const bool done = convert(&storing);
      sink->count_ = static_cast<std::size_t>(storing.next - sink->output_);
      return done;
    }
    Bounded<Unit> bounded{sink};
    return convert(&bounded);
  }
};

bool convertUtf8ToUtf16(const char* text, std::size_t length, Malformed mode,
                        UnitSink<wchar_t>* out) {
  const auto* in = reinterpret_cast<const unsigned char*>(text);
  return ConversionSinks<char, wchar_t>::run(
      [&](auto* sink) { return utf8ToUtf16(in, length, mode, sink); }, out);
}

bool convertUtf16ToUtf8(const wchar_t* text, std::size_t length, Malformed mode,
                        UnitSink<char>* out) {
  return ConversionSinks<wchar_t, char>::run(
      [&](auto* sink) { return utf16ToUtf8(text, length, mode, sink); }, out);
}

namespace {

// Converts the whole text into *out, sized once: a counting pass, then a storing one.
// Returns false when the conversion refused the text.
template <typename Unit, typename Convert>
bool convertWhole(Convert convert, std::basic_string<Unit>* out) {
  UnitSink<Unit> counted;
  if (!convert(&counted)) return false;
  out->assign(counted.count(), Unit{});
  UnitSink<Unit> stored(out->data(), out->size(), /*holdsAll=*/true);
  return convert(&stored);
}

}  // namespace

bool utf8FromWide(const wchar_t* text, std::string* out) {
  const std::size_t length = std::char_traits<wchar_t>::length(text);
  return convertWhole<char>(
      [&](UnitSink<char>* sink) {
        return convertUtf16ToUtf8(text, length, Malformed::kRefuse, sink);
      },
      out);
}

bool wideFromUtf8(const std::string& text, std::wstring* out) {
  return convertWhole<wchar_t>(
      [&](UnitSink<wchar_t>* sink) {
        return convertUtf8ToUtf16(text.data(), text.size(), Malformed::kRefuse, sink);
      },
      out);
}

std::string utf8FromWideForDisplay(const wchar_t* text) {
  std::string out;
  if (text == nullptr) return out;
  const std::size_t length = std::char_traits<wchar_t>::length(text);
  convertWhole<char>(
      [&](UnitSink<char>* sink) {
        return convertUtf16ToUtf8(text, length, Malformed::kReplace, sink);
      },
      &out);
  return out;
}

}  // namespace quillet::platform
