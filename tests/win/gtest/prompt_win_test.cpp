// The "promptCertificate" request through the real QuilletHost.exe, in a copy of the bundle
// with a stand-in cryptdlg.dll (tests/win/stand_in_cryptdlg): the host hands the dialog a
// structure of the system's size, owned by the --parent-window handle, and its filter
// (called back across the module boundary with the system's calling convention) shows only
// the certificate fit for signing, whose Windows thumbprint text comes back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "host/certs/binary_text.h"
#include "host/result_codes.h"
#include "host/result_message.h"
#include "host/text_conversion.h"
#include "tests/win/gtest/win_test_support.h"

namespace quillet::wintest {
namespace {

namespace fs = std::filesystem;

// The search path without the bundle's directory.
std::wstring withoutBundle(const std::wstring& path) {
  std::wstring bundle = bundleDirectory();
  bundle.pop_back();  // its trailing backslash
  std::wstring kept;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(L';', start);
    if (end == std::wstring::npos) end = path.size();
    std::wstring entry = path.substr(start, end - start);
    if (!entry.empty() && entry.back() == L'\\') entry.pop_back();
    if (!entry.empty() && _wcsicmp(entry.c_str(), bundle.c_str()) != 0) {
      kept += (kept.empty() ? L"" : L";") + entry;
    }
    start = end + 1;
  }
  return kept;
}

class PromptWinTest : public testing::Test {
 protected:
  void SetUp() override {
    bundle_ = fs::temp_directory_path() / L"quillet-prompt-bundle";
    fs::remove_all(bundle_);
    fs::create_directories(bundle_);
    for (const auto& entry : fs::directory_iterator(bundleDirectory())) {
      fs::copy_file(entry.path(), bundle_ / entry.path().filename());
    }
    fs::copy_file(windowsPathOf(QUILLET_STAND_IN_CRYPTDLG), bundle_ / L"cryptdlg.dll");
    report_ = bundle_ / L"dialog-report.txt";
    SetEnvironmentVariableW(L"QUILLET_STAND_IN_REPORT", report_.c_str());
    SetEnvironmentVariableW(L"QUILLET_STAND_IN_OWNER", L"1311768");
    // This program has the original bundle on its search path (it imports xmlsec1); the
    // host in the copy must not find the original's back end there.
    wchar_t path[32768];
    const DWORD length = GetEnvironmentVariableW(L"PATH", path, 32768);
    saved_path_.assign(path, length < 32768 ? length : 0);
    SetEnvironmentVariableW(L"PATH", withoutBundle(saved_path_).c_str());
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"PATH", saved_path_.c_str());
    SetEnvironmentVariableW(L"QUILLET_STAND_IN_REPORT", nullptr);
    SetEnvironmentVariableW(L"QUILLET_STAND_IN_OWNER", nullptr);
    std::error_code ignored;
    fs::remove_all(bundle_, ignored);
  }

  // The answer body to one promptCertificate request, the host started with `arguments`.
  std::string Prompt(const std::wstring& arguments) {
    const std::wstring directory = bundle_.wstring() + L"\\";
    DWORD exitCode = 99;
    const std::string output =
        runProgram(directory, directory + L"QuilletHost.exe", arguments,
                   frame(R"({"actionCode":"promptCertificate"})"), &exitCode);
    EXPECT_EQ(exitCode, 0u);
    return output.size() >= 4 ? output.substr(4) : output;
  }

  std::string Report() const {
    std::ifstream file(report_);
    std::string line;
    std::getline(file, line);
    return line;
  }

  MyStoreWith store_{
      {"expired.cer", "gost2012-256.cer", "rsa.cer", "no-usage.cer", "not-yet-valid.cer"}};
  fs::path bundle_;
  fs::path report_;
  std::wstring saved_path_;
};

TEST_F(PromptWinTest, FilterShowsTheFitCertificateAndItsThumbprintTextComesBack) {
  const std::string answer = Prompt(L"--parent-window=1311768");
  EXPECT_EQ(Report(), "shown 1 of 5");
  const Bytes hash = thumbprintOf("gost2012-256.cer");
  std::wstring thumbprint;
  ASSERT_EQ(BinaryToString(hash.data(), static_cast<DWORD>(hash.size()), &thumbprint), Ok);
  const nlohmann::json expected = {
      {"success", true},
      {"content",
       {{"thumbprint", WideToUtf8(thumbprint)}, {"owner", "Quillet Wine Test gost2012-256"}}}};
  EXPECT_EQ(answer, expected.dump());
}

TEST_F(PromptWinTest, ADialogThatRefusesIsACancel) {
  // Another owner than the browser's window: the stand-in refuses, as a user's Cancel.
  const std::string answer = Prompt(L"--parent-window=7");
  EXPECT_EQ(Report(), "refused: owner 7");
  const nlohmann::json expected = {
      {"success", false},
      {"errorMessage", "QuilletHost: " + WideToUtf8(resultMessage(CancelledByUser))}};
  EXPECT_EQ(answer, expected.dump());
}

}  // namespace
}  // namespace quillet::wintest
