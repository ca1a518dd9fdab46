// quillet-client against the real QuilletHost: answers printed in order, and a non-zero
// status for every kind of broken exchange.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/host_process.h"
#include "tools/process_runner/child_process.h"

namespace quillet::test {
namespace {

const std::string kVersionAnswer = R"({"content":{"major":1,"minor":2},"success":true})";

ProcessOutcome runClient(std::vector<std::string> arguments, const std::string& input = "") {
  ProcessOptions options;
  options.program = binDirectory() + "/quillet-client";
  options.arguments = std::move(arguments);
  options.unset = {"HOME", "XDG_DATA_HOME", "QUILLET_DEBUG_OUTPUT"};
  return runProcess(options, input);
}

TEST(QuilletClient, PrintsEachAnswerOnALineInOrder) {
  ProcessOutcome outcome = runClient({R"({"actionCode":"getVersion"})", R"({"actionCode":"x"})"});
  EXPECT_EQ(outcome.output, kVersionAnswer + "\n" +
                                R"({"errorMessage":"QuilletHost: Неизвестный код операции ' x '",)"
                                R"("success":false})"
                                "\n");
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_EQ(outcome.errors, "");
}

TEST(QuilletClient, ReadsRequestsFromItsInputWhenGivenNone) {
  ProcessOutcome outcome =
      runClient({"--host", hostProgram()},
                "{\"actionCode\":\"getVersion\"}\n\n  \n{\"actionCode\":\"getVersion\"}\n");
  EXPECT_EQ(outcome.output, kVersionAnswer + "\n" + kVersionAnswer + "\n");
  EXPECT_EQ(outcome.exitCode, 0);
}

TEST(QuilletClient, FailsForABrokenExchange) {
  const std::vector<std::string> cases[] = {
      {R"({"actionCode":"getVersion"})", "abc", R"({"actionCode":"getVersion"})"},
      {R"({"actionCode":5})"},
      {"--host", "/nonexistent/QuilletHost", R"({"actionCode":"getVersion"})"},
  };
  for (const std::vector<std::string>& arguments : cases) {
    SCOPED_TRACE(arguments.back());
    ProcessOutcome outcome = runClient(arguments);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_NE(outcome.errors.find("quillet-client: "), std::string::npos) << outcome.errors;
  }
  ProcessOutcome first = runClient(cases[0]);
  EXPECT_EQ(first.output, kVersionAnswer + "\n");
  EXPECT_NE(first.errors.find("no answer to request 2"), std::string::npos);
}

}  // namespace
}  // namespace quillet::test
