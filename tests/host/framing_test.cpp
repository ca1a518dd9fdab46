// Reading requests and writing answers on streams, in process: the wire format, end of
// input inside a message, read errors, bodies that are not JSON or not UTF-8, the echo.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "host/browser_message.h"
#include "host/framing.h"
#include "tests/support/framing.h"
#include "tests/support/log_files.h"
#include "tests/support/temp_dir.h"

namespace quillet::test {

using namespace quillet::host;
namespace {

// A stream that delivers bytes, then either ends or fails; or that fails every write.
struct Script {
  std::string bytes;
  bool failAtEnd = false;
  std::size_t position = 0;
  int writes = 0;
};

ssize_t scriptRead(void* cookie, char* buffer, size_t size) {
  auto* script = static_cast<Script*>(cookie);
  if (script->position == script->bytes.size()) {
    if (script->failAtEnd) {
      errno = EIO;
      return -1;
    }
    return 0;
  }
  size_t count = std::min(size, script->bytes.size() - script->position);
  std::memcpy(buffer, script->bytes.data() + script->position, count);
  script->position += count;
  return static_cast<ssize_t>(count);
}

ssize_t scriptWrite(void* cookie, const char*, size_t) {
  ++static_cast<Script*>(cookie)->writes;
  errno = EPIPE;
  return -1;
}

// Opens script as an unbuffered stream, as the host's standard streams are.
std::FILE* openScript(Script& script) {
  std::FILE* stream = fopencookie(&script, "r+", {scriptRead, scriptWrite, nullptr, nullptr});
  std::setvbuf(stream, nullptr, _IONBF, 0);
  return stream;
}

class FramingTest : public ::testing::Test {
 protected:
  // Reads one message from bytes into message; the stream then ends (or fails).
  bool readFrom(const std::string& bytes, bool failAtEnd = false) {
    script = Script{bytes, failAtEnd};
    std::FILE* stream = openScript(script);
    try {
      bool got = message.read(stream);
      std::fclose(stream);
      return got;
    } catch (...) {
      std::fclose(stream);
      throw;
    }
  }

  TempDir dir;
  ScopedEnvironment debugOutput{"QUILLET_DEBUG_OUTPUT", dir.file("debug")};
  Script script;
  BrowserMessage message;
};

TEST_F(FramingTest, ReadsOneMessageAndKeepsItsTextWithAFinalNul) {
  std::string body = R"({"actionCode":"getVersion"})";
  ASSERT_TRUE(readFrom(std::string("\x1B\0\0\0", 4) + body));
  EXPECT_EQ(message.request.size(), 1u);
  EXPECT_EQ(message.request["actionCode"], "getVersion");
  EXPECT_EQ(message.text(), std::wstring(L"{\"actionCode\":\"getVersion\"}") + L'\0');
}

TEST_F(FramingTest, ReportsNoMessageWhenTheInputEndsAnywhereInOne) {
  const std::pair<const char*, std::string> cases[] = {
      {"nothing", ""},
      {"one byte of the length", std::string("\x05", 1)},
      {"three bytes of the length", std::string("\x05\0\0", 3)},
      {"part of the body", lengthPrefix(10) + "{\"a\":"},
      {"a length far beyond what is sent", lengthPrefix(0xFFFFFFFF) + "{}"},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(readFrom(bytes));
  }
  EXPECT_FALSE(pathExists(dir.file("debug")));
}

TEST_F(FramingTest, RaisesTheFramingErrorsForAReadErrorInsideAMessage) {
  try {
    readFrom(std::string("\x05\0", 2), /*failAtEnd=*/true);
    ADD_FAILURE() << "no error";
  } catch (const std::logic_error& error) {
    EXPECT_STREQ(error.what(), "ошибка чтения длины сообщения от браузера");
  }
  try {
    readFrom(lengthPrefix(10) + "{\"a\":", /*failAtEnd=*/true);
    ADD_FAILURE() << "no error";
  } catch (const std::logic_error& error) {
    EXPECT_STREQ(error.what(), "фактическая длина сообщения от браузера меньше заявленной");
  }
}

TEST_F(FramingTest, RefusesBodiesThatAreNotJson) {
  for (const std::string& body : {std::string(), std::string("abc"), std::string("{\"a\":1"),
                                  std::string("\0{}", 3), std::string("{\"a\":\"\xFF\xFE\"}")}) {
    SCOPED_TRACE(body);
    // The library's error, without the bytes of the request it quotes.
    try {
      readFrom(frame(body));
      ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& error) {
      const std::string text = error.what();
      EXPECT_EQ(text.rfind("[json.exception.parse_error.101] parse error at line 1, column ", 0),
                0u)
          << text;
      EXPECT_EQ(text.find("last read"), std::string::npos) << text;
    }
  }
}

TEST_F(FramingTest, ParsesUpToANulButConvertsTheWholeBody) {
  ASSERT_TRUE(readFrom(frame(std::string("{\"a\":1}\0 \xD0\xAF", 11))));
  EXPECT_EQ(message.request, nlohmann::json::parse(R"({"a":1})"));
  EXPECT_EQ(message.text(), std::wstring(L"{\"a\":1}\0 \u042F\0", 11));

  try {
    readFrom(frame(std::string("{}\0\xFF", 4)));
    ADD_FAILURE() << "no error";
  } catch (const std::range_error& error) {
    EXPECT_STREQ(error.what(), "bad conversion");
  }
}

TEST_F(FramingTest, EchoesTheRequestReserialisedWithThePasswordMasked) {
  std::string body =
      R"({ "password" : "1234", "actionCode":"sign", "xmls":["<a>\u0451</a>"], "x":{"password":"n"} })";
  ASSERT_TRUE(readFrom(frame(body)));
  EXPECT_EQ(message.request["password"], "1234");
  ASSERT_TRUE(readFrom(frame(R"({"actionCode":"getVersion"})")));
  EXPECT_EQ(readFile(dir.file("debug")),
            "{\"actionCode\":\"sign\",\"password\":\"********\",\"x\":{\"password\":\"n\"},"
            "\"xmls\":[\"<a>\xD1\x91</a>\"]}\n"
            "{\"actionCode\":\"getVersion\"}\n");
}

TEST_F(FramingTest, ReadsMessagesBackToBack) {
  script = Script{frame(R"({"n":1})") + frame(R"({"n":2})") + frame("[3]")};
  std::FILE* stream = openScript(script);
  std::vector<nlohmann::json> read;
  while (message.read(stream)) read.push_back(message.request);
  std::fclose(stream);
  ASSERT_EQ(read.size(), 3u);
  EXPECT_EQ(read[0]["n"], 1);
  EXPECT_EQ(read[1]["n"], 2);
  EXPECT_EQ(read[2][0], 3);
}

TEST(WriteFramedMessage, WritesTheLengthLittleEndianThenTheText) {
  std::FILE* stream = std::tmpfile();
  std::string text(300, 'x');
  writeFramedMessage(stream, text);
  writeFramedMessage(stream, "");
  std::rewind(stream);
  std::string written(400, '\0');
  written.resize(std::fread(written.data(), 1, written.size(), stream));
  std::fclose(stream);
  EXPECT_EQ(written, std::string("\x2C\x01\0\0", 4) + text + std::string(4, '\0'));
}

TEST(WriteFramedMessage, DropsEveryMessageOnceTheOutputHasFailed) {
  Script script;
  std::FILE* stream = openScript(script);
  writeFramedMessage(stream, "{}");
  int writesOfFirst = script.writes;
  EXPECT_GT(writesOfFirst, 0);
  writeFramedMessage(stream, "{}");
  EXPECT_EQ(script.writes, writesOfFirst);
  std::fclose(stream);
}

}  // namespace
}  // namespace quillet::test
