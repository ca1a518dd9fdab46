// The process runner that quillet-client and the tests share: what reaches the child, and
// how its end is reported.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include "tools/process_runner/child_process.h"

namespace quillet::test {
namespace {

using process_runner::ChildProcess;
using process_runner::ProcessOptions;
using process_runner::ProcessOutcome;
using process_runner::runProcess;

ProcessOptions Shell(const std::string& script) {
  ProcessOptions options;
  options.program = "/bin/sh";
  options.arguments = {"-c", script};
  return options;
}

TEST(ProcessRunnerTest, ReportsHowTheChildEnded) {
  const struct {
    std::string script;
    int exitCode;
    int signal;
  } cases[] = {
      {"exit 0", 0, 0},
      {"exit 3", 3, 0},
      {"exit 255", 255, 0},
      {"kill -TERM $$", -1, SIGTERM},
      {"kill -PIPE $$", -1, SIGPIPE},  // SIGPIPE is at its default in the child
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    const ProcessOutcome outcome = runProcess(Shell(c.script), "");
    EXPECT_EQ(outcome.exitCode, c.exitCode);
    EXPECT_EQ(outcome.signal, c.signal);
  }
}

TEST(ProcessRunnerTest, PassesInputAndKeepsBothOutputsApart) {
  const ProcessOutcome outcome = runProcess(Shell("cat; echo warning >&2"), "one\ntwo");
  EXPECT_EQ(outcome.output, "one\ntwo");
  EXPECT_EQ(outcome.errors, "warning\n");
  EXPECT_EQ(outcome.exitCode, 0);
}

TEST(ProcessRunnerTest, SharedErrorsAreNotCollected) {
  ProcessOptions options = Shell("echo answer; echo to-the-callers-stderr >&2");
  options.sharedErrors = true;
  const ProcessOutcome outcome = runProcess(options, "");
  EXPECT_EQ(outcome.output, "answer\n");
  EXPECT_EQ(outcome.errors, "");
  EXPECT_EQ(outcome.exitCode, 0);
}

TEST(ProcessRunnerTest, EnvironmentIsTheCallersWithChangesAndRemovals) {
  ASSERT_EQ(setenv("QUILLET_RUNNER_KEPT", "kept", 1), 0);
  ASSERT_EQ(setenv("QUILLET_RUNNER_GONE", "gone", 1), 0);
  ASSERT_EQ(setenv("QUILLET_RUNNER_SET", "old", 1), 0);
  ProcessOptions options =
      Shell("echo \"$QUILLET_RUNNER_KEPT|${QUILLET_RUNNER_GONE-unset}|$QUILLET_RUNNER_SET\"");
  options.unset = {"QUILLET_RUNNER_GONE"};
  options.environment["QUILLET_RUNNER_SET"] = "new";
  EXPECT_EQ(runProcess(options, "").output, "kept|unset|new\n");
  unsetenv("QUILLET_RUNNER_KEPT");
  unsetenv("QUILLET_RUNNER_GONE");
  unsetenv("QUILLET_RUNNER_SET");
}

TEST(ProcessRunnerTest, ReadsExactlyAndLeavesTheRestForFinish) {
  ChildProcess child(Shell("printf 'abcdef'"));
  EXPECT_EQ(child.readExactly(4), "abcd");
  EXPECT_EQ(child.readExactly(3), std::nullopt);  // only "ef" is left; it is dropped
  EXPECT_EQ(child.finish().output, "");
}

TEST(ProcessRunnerTest, AChildThatStopsReadingFailsTheWriteInsteadOfTheCaller) {
  ChildProcess child(Shell("exec 0<&-; sleep 0.2"));
  std::string large(1 << 20, 'x');
  EXPECT_FALSE(child.write(large));
  EXPECT_EQ(child.finish().exitCode, 0);
}

TEST(ProcessRunnerTest, AProgramThatCannotStartThrows) {
  ProcessOptions options;
  options.program = "/nonexistent/quillet-no-such-program";
  EXPECT_THROW(ChildProcess child(options), std::runtime_error);
}

}  // namespace
}  // namespace quillet::test
