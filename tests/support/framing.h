// The host's wire format for tests: a 4-byte little-endian length and the body's bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::test {

// Returns body framed: its length as 4 little-endian bytes, then the body.
std::string frame(std::string_view body);

// Returns the 4 little-endian bytes of length.
std::string lengthPrefix(std::uint32_t length);

// The frames found in a byte stream, and what followed the last whole frame.
struct SplitFrames {
  std::vector<std::string> bodies;
  std::string rest;  // bytes of an incomplete frame at the end; empty when the stream is whole
};

// Splits raw into whole frames.
SplitFrames splitFrames(std::string_view raw);

}  // namespace quillet::test
