#include "host/browser_message.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "host/host_platform.h"
#include "host/json_parse.h"
#include "host/parse_error_text.h"
#include "host/request_echo.h"
#include "host/text_conversion.h"
#include "platform/win32.h"

namespace quillet::host {

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
  // Room for the whole body and its NUL at once, up to the browser's own limit of 64 MiB a
  // message: untouched room costs no memory, and the body is not copied as it grows.
  constexpr std::size_t kRoomAtOnce = (64u << 20) + 1;
  body.reserve(std::min<std::size_t>(std::size_t{length} + 1, kRoomAtOnce));
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
    request = parseJson(body.c_str());
  } catch (const nlohmann::json::parse_error& error) {
    // The library's text quotes the bytes it was reading, which may be the PIN.
    throw std::runtime_error(parseErrorText(error));
  }
  if (debugOutputIsRead()) OutputDebugStringA(requestEcho(request).c_str());
  // The parser has read the bytes before the first NUL and refuses malformed UTF-8 there (it
  // can only stand inside a string, whose UTF-8 the parser checks by the same rules), so
  // only the bytes from the NUL on are left to check.
  const std::size_t parsed = std::strlen(body.c_str());
  CheckUtf8(body.data() + parsed, body.size() - parsed);
  body_ = std::move(body);
  return true;
}

std::wstring BrowserMessage::text() const { return Utf8ToWide(body_); }

void BrowserMessage::forgetText() { std::string().swap(body_); }

}  // namespace quillet::host
