// The daily log, in process: switched on by its directory, session headers, line layout,
// the owner-only file mode.
#include "host/log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <stdexcept>

#include "tests/support/log_files.h"
#include "tests/support/temp_dir.h"

namespace quillet::test {

using namespace quillet::host;
namespace {

class LogTest : public ::testing::Test {
 protected:
  void TearDown() override { closeLog(); }
  TempHome home;
};

TEST_F(LogTest, WritesNothingWithoutTheDirectory) {
  logLine(std::string("lost"));
  logLine(std::wstring(L"lost too"));
  closeLog();
  EXPECT_FALSE(pathExists(home.logDirectory(false)));
}

TEST_F(LogTest, WritesNothingWhenAFileStandsWhereTheDirectoryShouldBe) {
  ASSERT_TRUE(writeFile(home.logDirectory(false), "not a directory"));
  logLine(std::string("lost"));
  EXPECT_EQ(readFile(home.logDirectory(false)), "not a directory");
}

TEST_F(LogTest, OpensTodaysFileWithASessionHeaderAndTimeStampedLines) {
  std::string directory = home.logDirectory(true);
  logLine(std::string("первая строка"));
  logLine(std::wstring(L"second \u20AC"));
  std::vector<std::string> lines = splitLines(readLog(directory));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(isSessionHeader(lines[0])) << lines[0];
  EXPECT_EQ(stampedText(lines[1]), "первая строка");
  EXPECT_EQ(stampedText(lines[2]), "second \xE2\x82\xAC");

  std::vector<std::string> names = logFileNames(directory);
  ASSERT_EQ(names.size(), 1u);
  // The file is named after the date the header shows.
  std::string date = lines[0].substr(42, 10);
  std::string expected =
      "QuilletHost_" + date.substr(0, 4) + date.substr(5, 2) + date.substr(8, 2) + ".log";
  EXPECT_EQ(names[0], expected);
}

TEST_F(LogTest, SeparatesALaterSessionByTwoEmptyLines) {
  std::string directory = home.logDirectory(true);
  logLine(std::string("first run"));
  closeLog();
  logLine(std::string("second run"));
  std::string content = readLog(directory);
  std::vector<std::string> lines = splitLines(content);
  ASSERT_EQ(lines.size(), 6u) << content;
  EXPECT_TRUE(isSessionHeader(lines[0]));
  EXPECT_EQ(stampedText(lines[1]), "first run");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], "");
  EXPECT_TRUE(isSessionHeader(lines[4]));
  EXPECT_EQ(stampedText(lines[5]), "second run");
}

TEST_F(LogTest, ContinuesAMultiLineTextWithoutTimeStamps) {
  std::string directory = home.logDirectory(true);
  logLine(std::string("one\ntwo"));
  std::vector<std::string> lines = splitLines(readLog(directory));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(stampedText(lines[1]), "one");
  EXPECT_EQ(lines[2], "two");
}

TEST_F(LogTest, StartsLoggingWhenTheDirectoryAppearsWhileRunning) {
  logLine(std::string("before"));
  std::string directory = home.logDirectory(true);
  logLine(std::string("after"));
  std::vector<std::string> lines = splitLines(readLog(directory));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(isSessionHeader(lines[0]));
  EXPECT_EQ(stampedText(lines[1]), "after");
}

TEST_F(LogTest, CreatesTheFileForItsOwnerOnly) {
  std::string directory = home.logDirectory(true);
  mode_t old = umask(0);
  logLine(std::string("private"));
  umask(old);
  std::vector<std::string> names = logFileNames(directory);
  ASSERT_EQ(names.size(), 1u);
  struct stat status;
  ASSERT_EQ(stat((directory + "/" + names[0]).c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST_F(LogTest, RefusesAWideTextThatIsNotUtf16AndWritesNothingOfIt) {
  std::string directory = home.logDirectory(true);
  EXPECT_THROW(logLine(std::wstring{L'x', static_cast<wchar_t>(0xD800)}), std::range_error);
  logLine(std::string("next"));
  std::vector<std::string> lines = splitLines(readLog(directory));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(stampedText(lines[1]), "next");
}

}  // namespace
}  // namespace quillet::test
