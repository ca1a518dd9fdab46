// The preload of the crypto back end: its probes and their trace lines, and the module
// paths the second probe builds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "host/module_path.h"
#include "proxy/backend_preload.h"
#include "tests/proxy/proxy_fixture.h"

namespace quillet::test {
namespace {

using ::moduleDirectory;

TEST(ModulePathTest, DirectoryIsCutAtTheLastSeparator) {
  const struct {
    std::wstring path;
    std::wstring directory;
  } cases[] = {
      {L"C:\\Program Files\\Quillet\\QuilletHost.exe", L"C:\\Program Files\\Quillet"},
      {L"/opt/quillet/bin/QuilletHost", L"/opt/quillet/bin"},
      // A backslash wins over a later forward slash.
      {L"C:\\quillet/bin\\host/x.exe", L"C:\\quillet/bin"},
      {L"relative/host", L"relative"},
      {L"QuilletHost.exe", L"."},
      {L"", L"."},
      {L"/QuilletHost", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(moduleDirectory(c.path), c.directory) << Narrow(c.path);
  }
}

// The directory of this test program, as the second probe names it.
std::wstring ExecutableDirectory() {
  char path[PATH_MAX] = {};
  const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  const std::string text(path, length > 0 ? static_cast<std::size_t>(length) : 0);
  return Wide(text.substr(0, text.rfind('/')));
}

TEST(PreloadTest, ModuleFoundByBareNameTracesOneLine) {
  Recorded::Clear();
  proxy::preloadCryptoBackend(proxy::Tracer(RecordTrace), L"libc.so.6");
  const std::vector<TraceLine> expected = {{L"1st probe libc.so.6", 0, 0}};
  EXPECT_EQ(Recorded::lines(), expected);
}

TEST(PreloadTest, ModuleFoundNowhereTracesFourLines) {
  Recorded::Clear();
  const std::wstring name = L"libquillet-no-such-backend.so.1";
  proxy::preloadCryptoBackend(proxy::Tracer(RecordTrace), name);
  const std::wstring path = ExecutableDirectory() + L"/" + name;
  const std::vector<TraceLine> expected = {
      {L"1st probe " + name, 0, 0},
      {L"1st probe failed " + name, 102, ERROR_MOD_NOT_FOUND},
      {L"2nd probe " + path, 0, 0},
      {L"2nd probe failed " + path, 102, ERROR_MOD_NOT_FOUND},
  };
  EXPECT_EQ(Recorded::lines(), expected);
}

}  // namespace
}  // namespace quillet::test
