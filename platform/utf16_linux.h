// The platform library's one UTF-8 <-> UTF-16 codec: for the W functions, the code-page
// conversions (MultiByteToWideChar / WideCharToMultiByte), the selection dialog's texts and
// the store names. wchar_t holds one UTF-16 code unit per element; characters outside the
// BMP are surrogate pairs. Well-formed means: no overlong form, no encoded surrogate,
// nothing above U+10FFFF, no sequence cut off, no lone surrogate, no wchar_t above 0xFFFF.
#pragma once

#include <cstddef>
#include <string>

namespace quillet::platform {

// What a conversion does with malformed input.
enum class Malformed {
  kRefuse,   // the conversion fails at the first malformed sequence or unit
  kReplace,  // each malformed sequence or unit becomes U+FFFD and the conversion goes on
};

// decodeUtf8's answer for a malformed sequence.
constexpr char32_t kMalformedSequence = 0xFFFFFFFF;

// Decodes the UTF-8 sequence at text[*pos] (*pos < length) and advances *pos past it.
// Returns its code point, or kMalformedSequence: *pos then stands past the lead byte and
// the continuation bytes read before the fault showed (at least one byte), so one bad
// sequence is one replacement.
char32_t decodeUtf8(const unsigned char* text, std::size_t length, std::size_t* pos);

// Where a conversion puts its units: all are counted, those that fit in the output are
// stored (nothing is stored without an output). An output known to hold the whole result
// (its size counted by an earlier conversion of the same text) is written without a check
// per unit.
template <typename Unit>
class UnitSink {
 public:
  UnitSink() = default;
  UnitSink(Unit* output, std::size_t capacity, bool holdsAll = false)
      : output_(output), capacity_(capacity), holdsAll_(holdsAll) {}

  void put(char32_t unit) {
    if (count_ < capacity_) output_[count_] = static_cast<Unit>(unit);
    ++count_;
  }
  std::size_t count() const { return count_; }

 private:
  template <typename Text, typename Sink>
  friend class ConversionSinks;
  Unit* output_ = nullptr;
  std::size_t capacity_ = 0;
  bool holdsAll_ = false;
  std::size_t count_ = 0;
};

// Converts length bytes of UTF-8 into UTF-16 units. Returns false, having put only the
// units before it, at the first malformed sequence when mode is kRefuse.
bool convertUtf8ToUtf16(const char* text, std::size_t length, Malformed mode,
                        UnitSink<wchar_t>* out);

// Converts length UTF-16 units into UTF-8 bytes. Returns false, having put only the bytes
// before it, at the first lone surrogate or unit above 0xFFFF when mode is kRefuse.
bool convertUtf16ToUtf8(const wchar_t* text, std::size_t length, Malformed mode,
                        UnitSink<char>* out);

// Converts NUL-terminated UTF-16 text to UTF-8. Returns false (and leaves *out
// unspecified) for text that is not well-formed.
bool utf8FromWide(const wchar_t* text, std::string* out);

// Converts UTF-8 to UTF-16. Returns false (and leaves *out unspecified) for text that is
// not well-formed.
bool wideFromUtf8(const std::string& text, std::wstring* out);

// Converts NUL-terminated UTF-16 text to UTF-8 for display: each lone surrogate (or unit
// above 0xFFFF) becomes U+FFFD, so that a damaged name still shows. NULL gives "".
std::string utf8FromWideForDisplay(const wchar_t* text);

}  // namespace quillet::platform
