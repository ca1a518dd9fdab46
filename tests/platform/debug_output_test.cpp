// OutputDebugStringA: one record per call in the QUILLET_DEBUG_OUTPUT file, or nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "platform/win32.h"
#include "tests/support/log_files.h"
#include "tests/support/temp_dir.h"

namespace quillet::test {
namespace {

TEST(OutputDebugStringA, AppendsOneRecordPerCallToTheNamedFile) {
  TempDir dir;
  ScopedEnvironment variable("QUILLET_DEBUG_OUTPUT", dir.file("debugger"));
  mode_t old = umask(0);
  OutputDebugStringA("{\"success\":true}");
  umask(old);
  OutputDebugStringA("");
  OutputDebugStringA("две\nстроки");
  OutputDebugStringA(nullptr);
  EXPECT_EQ(readFile(dir.file("debugger")), "{\"success\":true}\n\nдве\nстроки\n");
  struct stat status;
  ASSERT_EQ(stat(dir.file("debugger").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST(OutputDebugStringA, DropsTheTextWithoutTheVariableOrAWritableFile) {
  TempDir dir;
  {
    ScopedEnvironment variable("QUILLET_DEBUG_OUTPUT", std::nullopt);
    OutputDebugStringA("lost");
  }
  ScopedEnvironment variable("QUILLET_DEBUG_OUTPUT", dir.file("missing/dir/debugger"));
  SetLastError(7);
  errno = 33;
  OutputDebugStringA("lost");
  EXPECT_EQ(GetLastError(), 7u);
  EXPECT_EQ(errno, 33);
  EXPECT_FALSE(pathExists(dir.file("missing")));
}

TEST(StandardStreams, AcceptBinaryAndTextModeOnOpenDescriptorsOnly) {
  std::FILE* stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  int fd = _fileno(stream);
  EXPECT_EQ(fd, fileno(stream));
  EXPECT_EQ(_setmode(fd, _O_BINARY), _O_BINARY);
  EXPECT_EQ(_setmode(fd, _O_TEXT), _O_BINARY);
  errno = 0;
  EXPECT_EQ(_setmode(fd, 0x1234), -1);
  EXPECT_EQ(errno, EINVAL);
  std::fclose(stream);
  errno = 0;
  EXPECT_EQ(_setmode(fd, _O_BINARY), -1);
  EXPECT_EQ(errno, EBADF);
}

// The host builds its echo of a request only when this says that a debugger reads it.
TEST(IsDebuggerPresent, FollowsTheVariable) {
  {
    ScopedEnvironment variable("QUILLET_DEBUG_OUTPUT", std::nullopt);
    EXPECT_EQ(IsDebuggerPresent(), FALSE);
  }
  {
    ScopedEnvironment variable("QUILLET_DEBUG_OUTPUT", std::string());
    EXPECT_EQ(IsDebuggerPresent(), FALSE);
  }
  ScopedEnvironment variable("QUILLET_DEBUG_OUTPUT", "/nonexistent/debugger");
  EXPECT_EQ(IsDebuggerPresent(), TRUE);
}

}  // namespace
}  // namespace quillet::test
