// The real QuilletHost driven over pipes: exact bytes on standard output, exit codes,
// standard error, the log and the debugger output.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/framing.h"
#include "tests/support/host_process.h"
#include "tests/support/log_files.h"
#include "tests/support/temp_dir.h"

namespace quillet::test {
namespace {

const std::string kGetVersion = R"({"actionCode":"getVersion"})";
const std::string kVersionAnswer = R"({"content":{"major":1,"minor":2},"success":true})";

std::string errorAnswer(const std::string& text) {
  return "{\"errorMessage\":\"QuilletHost: " + text + "\",\"success\":false}";
}

// Returns the JSON library's own error text for parsing body, without the bytes it quotes
// (none of the bodies here has a quote inside its last token).
std::string parseErrorOf(const std::string& body) {
  try {
    nlohmann::json parsed = nlohmann::json::parse(body.c_str());
    return "<parsed " + parsed.dump() + ">";
  } catch (const nlohmann::json::exception& error) {
    return std::regex_replace(error.what(), std::regex("; last read: '[^']*'"), "");
  }
  return "<parsed>";
}

struct Exchange {
  const char* name;
  std::string input;
  std::string output;
  int exitCode;
  std::string errors;
};

TEST(HostProgram, AnswersOrEndsExactlyAsTheInputDemands) {
  const std::string unknownBody = errorAnswer("Неизвестный код операции ' GetVersion '");
  const std::string missingBody = errorAnswer("Неизвестный код операции '  '");
  const std::string badUtf8Body = std::string("{\"actionCode\":\"\xFF\xFE\"}");
  const Exchange cases[] = {
      {"getVersion", std::string("\x1B\0\0\0", 4) + kGetVersion,
       std::string("\x30\0\0\0", 4) + kVersionAnswer, 0, ""},
      {"unknown actionCode", frame(R"({"actionCode":"GetVersion"})"), frame(unknownBody), 0, ""},
      {"no actionCode", frame("{}"), frame(missingBody), 0, ""},
      {"a NUL after the object", frame(kGetVersion + std::string("\0 ignored", 9)),
       frame(kVersionAnswer), 0, ""},
      {"three requests back to back",
       frame(kGetVersion) + frame(R"({"actionCode":"GetVersion"})") + frame("[]"),
       frame(kVersionAnswer) + frame(unknownBody) + frame(missingBody), 0, ""},
      {"empty input", "", "", 0, ""},
      {"input cut inside a length", frame(kGetVersion) + std::string("\x1B\0", 2),
       frame(kVersionAnswer), 0, ""},
      {"input cut inside a body", lengthPrefix(27) + "{\"actionCode\":", "", 0, ""},
      {"actionCode 5", frame(R"({"actionCode":5})"), "", 1, "type must be string, but is number"},
      {"a body that is not JSON", frame("abc"), "", 1, parseErrorOf("abc")},
      {"an empty body", frame(""), "", 1, parseErrorOf("")},
      {"invalid UTF-8 in a string", frame(badUtf8Body), "", 1, parseErrorOf(badUtf8Body)},
      {"invalid UTF-8 after a NUL", frame(std::string("{}\0\xC3", 4)), "", 1, "bad conversion"},
      {"answers before a fatal request, none after",
       frame(kGetVersion) + frame("abc") + frame(kGetVersion), frame(kVersionAnswer), 1,
       parseErrorOf("abc")},
  };
  for (const Exchange& c : cases) {
    SCOPED_TRACE(c.name);
    ProcessOutcome outcome = runHost(c.input);
    EXPECT_EQ(outcome.output, c.output);
    EXPECT_EQ(outcome.exitCode, c.exitCode);
    EXPECT_EQ(outcome.errors, c.errors);
  }
}

TEST(HostProgram, AnswersEachRequestBeforeReadingTheNext) {
  HostProcess host;
  const std::pair<std::string, std::string> exchanges[] = {
      {kGetVersion, kVersionAnswer},
      {R"({"actionCode":"verify"})",
       errorAnswer("Параметр 'xml' отсутствует или имеет пустое значение")},
      {R"({"actionCode":"getVersion","n":"ё"})", kVersionAnswer},
  };
  for (const auto& [request, answer] : exchanges) {
    ASSERT_TRUE(host.send(request));
    EXPECT_EQ(host.receive(), answer);
  }
  ProcessOutcome outcome = host.finish();
  EXPECT_EQ(outcome.output, "");
  EXPECT_EQ(outcome.exitCode, 0);
}

TEST(HostProgram, KeepsReadingUntilTheInputEndsWhenItsOutputIsClosed) {
  HostProcess host;
  host.closeOutput();
  ASSERT_TRUE(host.send(kGetVersion));
  ASSERT_TRUE(host.send(kGetVersion));
  ProcessOutcome outcome = host.finish();
  EXPECT_EQ(outcome.signal, 0);
  EXPECT_EQ(outcome.exitCode, 0);
}

TEST(HostProgram, ExitsWithMinusOneWhenStandardInputCannotBePrepared) {
  HostOptions options;
  options.withoutInput = true;
  ProcessOutcome outcome = runHost("", options);
  EXPECT_EQ(outcome.exitCode, 255);
  EXPECT_EQ(outcome.errors, "Cannot set mode: Bad file descriptor\n");
  EXPECT_EQ(outcome.output, "");
}

TEST(HostProgram, IgnoresItsArguments) {
  HostOptions options;
  options.arguments = {"chrome-extension://abcdef/", "--parent-window=4242"};
  ProcessOutcome outcome = runHost(frame(kGetVersion), options);
  EXPECT_EQ(outcome.output, frame(kVersionAnswer));
  EXPECT_EQ(outcome.exitCode, 0);
}

class HostLog : public ::testing::Test {
 protected:
  ProcessOutcome run(const std::string& input) {
    HostOptions options;
    options.environment["HOME"] = home.path();
    return runHost(input, options);
  }

  TempDir home;
};

TEST_F(HostLog, StaysOffWithoutItsDirectory) {
  run(frame(R"({"actionCode":"sign","xmls":[]})") + frame("abc"));
  EXPECT_FALSE(pathExists(logDirectoryIn(home.path(), false)));
}

TEST_F(HostLog, WritesTheFatalErrorAndItsNoteSessionAfterSession) {
  std::string directory = logDirectoryIn(home.path(), true);
  // A run that writes no line leaves no file.
  run(frame(kGetVersion));
  EXPECT_TRUE(logFileNames(directory).empty());

  run(frame(kGetVersion) + frame("abc"));
  run(frame(R"({"actionCode":5})"));
  std::vector<std::string> lines = splitLines(readLog(directory));
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_TRUE(isSessionHeader(lines[0]));
  EXPECT_EQ(stampedText(lines[1]), parseErrorOf("abc"));
  EXPECT_EQ(stampedText(lines[2]), "Fatal exit, see the line above");
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], "");
  EXPECT_TRUE(isSessionHeader(lines[5]));
  EXPECT_EQ(stampedText(lines[6]), "type must be string, but is number");
  EXPECT_EQ(stampedText(lines[7]), "Fatal exit, see the line above");
}

TEST(HostDebugOutput, EchoesRequestsMaskedAndAnswersAndTheFatalError) {
  TempDir dir;
  HostOptions options;
  options.environment["QUILLET_DEBUG_OUTPUT"] = dir.file("debugger");
  std::string sign = R"({"actionCode":"sign","password":"1234","xmls":5})";
  ProcessOutcome outcome = runHost(frame(sign) + frame(std::string("{}\0\xFF", 4)), options);
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(readFile(dir.file("debugger")),
            "{\"actionCode\":\"sign\",\"password\":\"********\",\"xmls\":5}\n" +
                errorAnswer("Параметр 'xmls' должен быть массивом строк") + "\n{}\n" +
                "bad conversion\n");
}

}  // namespace
}  // namespace quillet::test
