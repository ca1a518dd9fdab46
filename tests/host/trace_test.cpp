// Trace lines as they reach the log: plain lines, "ERROR=" lines, the system error line.
#include "host/trace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "host/log.h"
#include "tests/support/log_files.h"

namespace quillet::test {

using namespace quillet::host;
namespace {

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override { directory = home.logDirectory(true); }
  void TearDown() override { closeLog(); }

  // Returns the lines of the log after its header, time stamps removed where there are.
  std::vector<std::string> traced() {
    std::vector<std::string> lines = splitLines(readLog(directory));
    std::vector<std::string> texts;
    for (std::size_t i = 1; i < lines.size(); ++i) {
      texts.push_back(stampedText(lines[i]).value_or("<unstamped>" + lines[i]));
    }
    return texts;
  }

  // Closes the log and removes its file, so that the next line starts a new one.
  void startAfresh() {
    closeLog();
    for (const std::string& name : logFileNames(directory)) {
      std::remove((directory + "/" + name).c_str());
    }
  }

  TempHome home;
  std::string directory;
};

struct TraceCase {
  const wchar_t* text;
  int code;
  DWORD systemError;
  std::vector<std::string> lines;
};

TEST_F(TraceTest, WritesLinesByCodeAndSystemError) {
  const TraceCase cases[] = {
      {L"CertVerifyRevocation", 0, 5, {"CertVerifyRevocation"}},
      {L"проверка", 1002, 0, {"ERROR=1002 (проверка)"}},
      {L"x", -1, 0, {"ERROR=-1 (x)"}},
      {L"load",
       102,
       126,
       {"ERROR=102 (load)", "\tGetLastError(0000007eh): The specified module could not be found.\r",
        "<unstamped>"}},
      {L"pin",
       201,
       0x8010006B,
       {"ERROR=201 (pin)",
        "\tGetLastError(8010006bh): The card cannot be accessed because the wrong PIN was "
        "presented.\r",
        "<unstamped>"}},
      {L"odd", 7, 0x12345678, {"ERROR=7 (odd)", "\tGetLastError(12345678h): "}},
  };
  for (const TraceCase& c : cases) {
    SCOPED_TRACE(c.code);
    startAfresh();
    trace(c.text, c.code, c.systemError);
    EXPECT_EQ(traced(), c.lines);
  }
}

TEST_F(TraceTest, AppendsTheResultMessageOnlyForANonZeroCode) {
  traceResult(L"Error: ", 10, 0);
  traceResult(L"Store opened", 0, 2);
  std::vector<std::string> expected = {
      "ERROR=10 (Error:  сертификат не найден в хранилище сертификатов)", "Store opened"};
  EXPECT_EQ(traced(), expected);
}

TEST(SystemErrorText, GivesTheSystemsTextWithItsLineBreak) {
  EXPECT_EQ(systemErrorText(0), L"");
  EXPECT_EQ(systemErrorText(5), L"Access is denied.\r\n");
  EXPECT_EQ(systemErrorText(0x80092004), L"Cannot find object or property.\r\n");
  EXPECT_EQ(systemErrorText(0x7FFFFFFF), L"");
}

TEST(TraceWithoutLog, LosesLinesSilently) {
  TempHome home;
  EXPECT_NO_THROW(trace(L"nowhere", 102, 126));
  closeLog();
  EXPECT_FALSE(pathExists(home.logDirectory(false)));
}

}  // namespace
}  // namespace quillet::test
