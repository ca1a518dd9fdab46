// The version record read back from the real binaries, and the user's locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/support/test_stores.h"

namespace quillet::test {
namespace {

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

const std::string kBinDir = QUILLET_TEST_BIN_DIR;

// Reads the fixed file info of a file; false when it has none.
bool FixedInfo(const std::string& path, VS_FIXEDFILEINFO* out) {
  DWORD handle = 77;
  const DWORD size = GetFileVersionInfoSizeW(Wide(path).c_str(), &handle);
  EXPECT_EQ(handle, 0u);
  if (size == 0) return false;
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(Wide(path).c_str(), 0, size, block.data())) return false;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", &value, &length) || length != sizeof(*out)) return false;
  *out = *static_cast<VS_FIXEDFILEINFO*>(value);
  return true;
}

TEST(VersionRecord, HostAndLibraryCarryVersion1200) {
  const struct {
    std::string file;
    DWORD type;
  } cases[] = {{"QuilletHost", VFT_APP}, {"libQuilletPlatform.so", VFT_DLL}};
  for (const auto& row : cases) {
    VS_FIXEDFILEINFO info{};
    ASSERT_TRUE(FixedInfo(kBinDir + "/" + row.file, &info)) << row.file;
    EXPECT_EQ(info.dwSignature, static_cast<DWORD>(VS_FFI_SIGNATURE));
    EXPECT_EQ(info.dwStrucVersion, 0x00010000u);
    EXPECT_EQ(HIWORD(info.dwFileVersionMS), 1);
    EXPECT_EQ(LOWORD(info.dwFileVersionMS), 2);
    EXPECT_EQ(HIWORD(info.dwFileVersionLS), 0);
    EXPECT_EQ(LOWORD(info.dwFileVersionLS), 0);
    EXPECT_EQ(info.dwProductVersionMS, info.dwFileVersionMS);
    EXPECT_EQ(info.dwProductVersionLS, info.dwFileVersionLS);
    EXPECT_EQ(info.dwFileType, row.type);
  }
}

TEST(VersionRecord, FilesWithoutOneAreRefused) {
  TestStores scratch;
  writeFileOrFail(scratch.home() + "/text", std::string("not an ELF file"));
  const struct {
    std::string path;
    DWORD error;
  } cases[] = {
      {kBinDir + "/no-such-file", ERROR_FILE_NOT_FOUND},
      {kBinDir + "/libxmlsec1.so.1", ERROR_RESOURCE_TYPE_NOT_FOUND},
      {scratch.home() + "/text", ERROR_RESOURCE_TYPE_NOT_FOUND},
  };
  for (const auto& row : cases) {
    SetLastError(0);
    EXPECT_EQ(GetFileVersionInfoSizeW(Wide(row.path).c_str(), nullptr), 0u) << row.path;
    EXPECT_EQ(GetLastError(), row.error) << row.path;
    BYTE block[128];
    EXPECT_FALSE(GetFileVersionInfoW(Wide(row.path).c_str(), 0, sizeof(block), block));
  }
}

TEST(VersionRecord, OnlyTheRootBlockIsAnswered) {
  const std::wstring host = Wide(kBinDir + "/QuilletHost");
  std::vector<BYTE> block(GetFileVersionInfoSizeW(host.c_str(), nullptr));
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(GetFileVersionInfoW(host.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  void* value = nullptr;
  UINT length = 0;
  EXPECT_FALSE(
      VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\FileVersion", &value, &length));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
  std::vector<BYTE> garbage(block.size(), 0x41);
  EXPECT_FALSE(VerQueryValueW(garbage.data(), L"\\", &value, &length));
}

// Sets LC_ALL for one test and puts everything back afterwards.
class LocaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
      const char* value = std::getenv(name);
      saved_.push_back({name, value != nullptr ? value : "", value != nullptr});
      unsetenv(name);
    }
    saved_ctype_ = std::setlocale(LC_CTYPE, nullptr);
  }
  void TearDown() override {
    for (const auto& variable : saved_) {
      if (variable.present) {
        setenv(variable.name.c_str(), variable.value.c_str(), 1);
      } else {
        unsetenv(variable.name.c_str());
      }
    }
    std::setlocale(LC_CTYPE, saved_ctype_.c_str());
  }

  static std::wstring Info(LCTYPE type) {
    wchar_t buffer[256] = {};
    const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 127);
    EXPECT_GT(length, 0);
    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, type, nullptr, 0), length);
    return buffer;
  }

  // The name Windows code builds from the locale: language_country.codepage.
  static std::wstring ComposedName() {
    std::wstring name = Info(LOCALE_SENGLANGUAGE);
    const std::wstring country = Info(LOCALE_SENGCOUNTRY);
    if (!country.empty()) name += L"_" + country;
    const std::wstring codepage = Info(LOCALE_IDEFAULTANSICODEPAGE);
    if (!codepage.empty()) name += L"." + codepage;
    return name;
  }

  struct Saved {
    std::string name;
    std::string value;
    bool present;
  };
  std::vector<Saved> saved_;
  std::string saved_ctype_;
};

TEST_F(LocaleTest, PartsOfThePosixLocale) {
  const struct {
    const char* variable;
    const char* value;
    std::wstring language, country, codeset;
  } cases[] = {
      {"LC_ALL", "ru_RU.UTF-8", L"ru", L"RU", L"UTF-8"},
      {"LC_CTYPE", "sr_RS.UTF-8@latin", L"sr", L"RS", L"UTF-8"},
      {"LANG", "en_US", L"en", L"US", L""},
      {"LANG", "C.UTF-8", L"C", L"", L"UTF-8"},
      {"LANG", "", L"C", L"", L""},
  };
  for (const auto& row : cases) {
    setenv(row.variable, row.value, 1);
    EXPECT_EQ(Info(LOCALE_SENGLANGUAGE), row.language) << row.value;
    EXPECT_EQ(Info(LOCALE_SENGCOUNTRY), row.country) << row.value;
    EXPECT_EQ(Info(LOCALE_IDEFAULTANSICODEPAGE), row.codeset) << row.value;
    EXPECT_EQ(Info(LOCALE_IDEFAULTCODEPAGE), row.codeset) << row.value;
    unsetenv(row.variable);
  }
}

TEST_F(LocaleTest, ComposedNameIsAcceptedBySetlocale) {
  for (const char* value : {"C.UTF-8", "C", "POSIX"}) {
    setenv("LANG", value, 1);
    const std::wstring name = ComposedName();
    const wchar_t* result = _wsetlocale(LC_CTYPE, name.c_str());
    ASSERT_NE(result, nullptr) << value;
    EXPECT_EQ(std::wstring(_wsetlocale(LC_CTYPE, nullptr)), std::wstring(result));
  }
  EXPECT_EQ(_wsetlocale(LC_CTYPE, L"xx_NOWHERE.NOTHING"), nullptr);
}

TEST_F(LocaleTest, RefusesOtherQueriesAndSmallBuffers) {
  setenv("LC_ALL", "ru_RU.UTF-8", 1);
  wchar_t buffer[8] = {};
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, buffer, 5), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, buffer, 6), 6);
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, 0x1003, buffer, 8), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
  EXPECT_EQ(GetLocaleInfoW(0x0419, LOCALE_SENGLANGUAGE, buffer, 8), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
}  // namespace quillet::test
