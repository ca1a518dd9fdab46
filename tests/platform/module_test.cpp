// LoadLibraryW, GetProcAddress, FreeLibrary and GetModuleFileNameW.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32.h"
#include "tests/support/test_stores.h"

namespace quillet::test {
namespace {

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

const std::string kBinDir = QUILLET_TEST_BIN_DIR;

TEST(Module, LoadsByPathWithEitherSeparatorAndFindsExports) {
  for (const std::string& path :
       {kBinDir + "/libQuilletPlatform.so", kBinDir + "\\libQuilletPlatform.so"}) {
    SetLastError(4321);
    HMODULE module = LoadLibraryW(Wide(path).c_str());
    ASSERT_NE(module, nullptr) << path;
    EXPECT_EQ(GetLastError(), 4321u) << "success leaves the last error";
    EXPECT_NE(GetProcAddress(module, "CertOpenStore"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "NoSuchExport"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_TRUE(FreeLibrary(module));
  }
}

TEST(Module, LoadFailuresCarryTheWindowsCodes) {
  TestStores stores;  // a scratch directory
  writeFileOrFail(stores.home() + "/not-a-library.so", std::string("plain text"));
  const struct {
    std::string name;
    DWORD error;
  } cases[] = {
      {kBinDir + "/missing.so", ERROR_MOD_NOT_FOUND},
      {kBinDir + "\\QuilletProxy.dll", ERROR_MOD_NOT_FOUND},
      {"libquillet-no-such-library.so", ERROR_MOD_NOT_FOUND},
      {stores.home() + "/not-a-library.so", ERROR_BAD_EXE_FORMAT},
  };
  for (const auto& row : cases) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(Wide(row.name).c_str()), nullptr) << row.name;
    EXPECT_EQ(GetLastError(), row.error) << row.name;
  }
  wchar_t text[128] = {};
  ASSERT_GT(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           ERROR_MOD_NOT_FOUND, 0, text, 128, nullptr),
            0u);
  EXPECT_EQ(std::wstring(text), L"The specified module could not be found.\r\n");
  EXPECT_EQ(LoadLibraryW(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Module, BareNameFindsTheBundledLibraryFirst) {
  // Debian's libxmlsec1 (same soname, no GOST) is installed too; the bundled one beside
  // the platform library must win.
  HMODULE module = LoadLibraryW(L"libxmlsec1.so.1");
  ASSERT_NE(module, nullptr);
  wchar_t path[1024] = {};
  const DWORD length = GetModuleFileNameW(module, path, 1024);
  EXPECT_EQ(std::wstring(path, length), Wide(kBinDir + "/libxmlsec1.so.1"));
  FreeLibrary(module);
}

TEST(Module, FileNameOfTheProgramAndTruncation) {
  wchar_t path[1024] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, 1024);
  const std::wstring program(path, length);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(program.substr(program.rfind(L'/') + 1), L"platform_tests");
  EXPECT_EQ(path[length], L'\0');

  wchar_t small[6] = {L'#', L'#', L'#', L'#', L'#', L'#'};
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 5), 5u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::wstring(small), program.substr(0, 4));
  EXPECT_EQ(small[5], L'#');
  // Exactly one unit short of room for the NUL is still too small.
  std::wstring exact(length, L'#');
  EXPECT_EQ(GetModuleFileNameW(nullptr, exact.data(), length), length);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(Module, FreeLibraryRefusesNull) {
  EXPECT_FALSE(FreeLibrary(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
}  // namespace quillet::test
