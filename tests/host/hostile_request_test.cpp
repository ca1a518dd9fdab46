// Requests as a hostile page writes them, through the real QuilletHost: nesting deeper than
// any stack, malformed JSON right after a PIN, and values that try to forge log records.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/framing.h"
#include "tests/support/host_process.h"
#include "tests/support/log_files.h"
#include "tests/support/temp_dir.h"

namespace quillet::test {
namespace {

const std::string kVersionAnswer = R"({"content":{"major":1,"minor":2},"success":true})";

// The host run with its log switched on and, when asked, its debugger output read.
class HostileRequest : public ::testing::Test {
 protected:
  ProcessOutcome run(const std::string& input, bool debugOutput) {
    HostOptions options;
    options.environment["HOME"] = home.path();
    if (debugOutput) options.environment["QUILLET_DEBUG_OUTPUT"] = home.file("debugger");
    return runHost(input, options);
  }
  std::string debugOutput() const { return readFile(home.file("debugger")); }
  std::string log() const { return readLog(logDirectory); }

  TempDir home;
  std::string logDirectory = logDirectoryIn(home.path(), true);
};

TEST_F(HostileRequest, AMillionLevelsDeepAreAnsweredAndEchoedAsAnyRequest) {
  const int depth = 1000000;
  const std::string body = R"({"actionCode":"getVersion","x":)" + std::string(depth, '[') +
                           std::string(depth, ']') + "}";
  for (bool debugOutput : {false, true}) {
    SCOPED_TRACE(debugOutput ? "debugger output read" : "no debugger output");
    const ProcessOutcome outcome =
        run(frame(body) + frame(R"({"actionCode":"getVersion"})"), debugOutput);
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.output, frame(kVersionAnswer) + frame(kVersionAnswer));
    EXPECT_EQ(outcome.errors, "");
  }
  // The echo is the request whole, as the library would serialise it.
  EXPECT_EQ(debugOutput(), body + "\n" + kVersionAnswer + "\n" + R"({"actionCode":"getVersion"})" +
                               "\n" + kVersionAnswer + "\n");
}

TEST_F(HostileRequest, AParseErrorAfterAPinNeverQuotesIt) {
  const std::string start = R"({"actionCode":"sign","password":"pin-1234)";
  const struct {
    const char* what;
    std::string body;
    std::string error;
  } cases[] = {
      {"cut off", start,
       "[json.exception.parse_error.101] parse error at line 1, column 42: syntax error while "
       "parsing value - invalid string: missing closing quote"},
      {"a control character", start + "\x01\"}",
       "[json.exception.parse_error.101] parse error at line 1, column 42: syntax error while "
       "parsing value - invalid string: control character U+0001 (SOH) must be escaped to "
       "\\u0001"},
      {"bad UTF-8", start + "\xFF\"}",
       "[json.exception.parse_error.101] parse error at line 1, column 42: syntax error while "
       "parsing value - invalid string: ill-formed UTF-8 byte"},
      {"a quote in the token that mimics the library",
       R"({"password":"pin-1234'; expected ':')" + std::string("\x02"),
       "[json.exception.parse_error.101] parse error at line 1, column 37: syntax error while "
       "parsing value - invalid string: control character U+0002 (STX) must be escaped to "
       "\\u0002"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ProcessOutcome outcome = run(frame(c.body), /*debugOutput=*/true);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.output, "");
    EXPECT_EQ(outcome.errors, c.error);
    EXPECT_EQ(debugOutput(), c.error + "\n");
    const std::vector<std::string> lines = splitLines(log());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(stampedText(lines[lines.size() - 2]), c.error);
    for (const std::string& text : {outcome.errors, debugOutput(), log()}) {
      EXPECT_EQ(text.find("pin-1234"), std::string::npos) << text;
    }
    std::remove(home.file("debugger").c_str());
  }
}

TEST_F(HostileRequest, ValuesCannotForgeLogRecords) {
  const std::string forged = "\n2026-01-01 00:00:00: >>> VektQuilletImpl::sign";
  const nlohmann::json request = {
      {"actionCode", "sign"},
      {"xmls", 5},
      {"storeName", "My" + forged},
      {"thumbprint", std::string("ab\0cd\x1B[2J\r", 10)},
      {"returnSignatureOnly", "1\u2028\u0085\x7F"},
  };
  run(frame(request.dump()), /*debugOutput=*/false);
  const std::vector<std::string> lines = splitLines(log());
  ASSERT_EQ(lines.size(), 6u) << log();
  EXPECT_TRUE(isSessionHeader(lines[0]));
  // The record's own line breaks stay; the values' are escaped.
  EXPECT_EQ(stampedText(lines[1]), "Sign with parameters:");
  EXPECT_EQ(lines[2], "\tstoreName: My\\x0A2026-01-01 00:00:00: >>> VektQuilletImpl::sign");
  EXPECT_EQ(lines[3], "\tthumbprint: ab\\x00cd\\x1B[2J\\x0D");
  EXPECT_EQ(lines[4], "\treturnSignatureOnly: 1\\u2028\\x85\\x7F");
  EXPECT_EQ(lines[5], "\thas password: 0");
}

}  // namespace
}  // namespace quillet::test
