#include "host/browser_message.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

#include "host/host_platform.h"
#include "host/parse_error_text.h"
#include "host/request_echo.h"
#include "host/text_conversion.h"
#include "platform/win32.h"

namespace {

// What a read of a fixed number of bytes came to.
enum class ReadOutcome { Complete, Ended, Short };

// Reads exactly size bytes into target. Ended: the input reported its end first.
ReadOutcome readExactly(std::FILE* input, char* target, std::size_t size) {
  std::size_t got = std::fread(target, 1, size, input);
  if (got == size) return ReadOutcome::Complete;
  return std::feof(input) ? ReadOutcome::Ended : ReadOutcome::Short;
}

// Reads a body of length bytes into body. The buffer grows with the bytes that actually
// arrive, so a declared length far beyond what is sent costs no memory.
ReadOutcome readBody(std::FILE* input, std::uint32_t length, std::string& body) {
  constexpr std::size_t kChunk = 1 << 20;
  std::size_t remaining = length;
  while (remaining > 0) {
    std::size_t step = remaining < kChunk ? remaining : kChunk;
    std::size_t start = body.size();
    body.resize(start + step);
    ReadOutcome outcome = readExactly(input, body.data() + start, step);
    if (outcome != ReadOutcome::Complete) return outcome;
    remaining -= step;
  }
  return ReadOutcome::Complete;
}

std::uint32_t littleEndian(const unsigned char bytes[4]) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace

bool BrowserMessage::read(std::FILE* input) {
  unsigned char prefix[4];
  ReadOutcome outcome = readExactly(input, reinterpret_cast<char*>(prefix), sizeof prefix);
  if (outcome == ReadOutcome::Ended) return false;
  if (outcome == ReadOutcome::Short) {
    throw std::logic_error("ошибка чтения длины сообщения от браузера");
  }
  std::string body;
  outcome = readBody(input, littleEndian(prefix), body);
  if (outcome == ReadOutcome::Ended) return false;
  if (outcome == ReadOutcome::Short) {
    throw std::logic_error("фактическая длина сообщения от браузера меньше заявленной");
  }
  body.push_back('\0');
  try {
    request = nlohmann::json::parse(body.c_str());
  } catch (const nlohmann::json::parse_error& error) {
    // The library's text quotes the bytes it was reading, which may be the PIN.
    throw std::runtime_error(parseErrorText(error));
  }
  if (debugOutputIsRead()) OutputDebugStringA(requestEcho(request).c_str());
  CheckUtf8(body);
  body_ = std::move(body);
  return true;
}

std::wstring BrowserMessage::text() const { return Utf8ToWide(body_); }
