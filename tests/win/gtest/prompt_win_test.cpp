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

using namespace quillet::host;
namespace {

namespace fs = std::filesystem;

class PromptWinTest : public testing::Test {
 protected:
  void SetUp() override {
    report_ = fs::path(bundle_.Directory()) / L"dialog-report.txt";
    SetEnvironmentVariableW(L"QUILLET_STAND_IN_REPORT", report_.c_str());
    SetEnvironmentVariableW(L"QUILLET_STAND_IN_OWNER", L"1311768");
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"QUILLET_STAND_IN_REPORT", nullptr);
    SetEnvironmentVariableW(L"QUILLET_STAND_IN_OWNER", nullptr);
  }

  // The answer body to one promptCertificate request, the host started with `arguments`.
  std::string Prompt(const std::wstring& arguments) {
    DWORD exitCode = 99;
    const std::string output =
        bundle_.RunHost(frame(R"({"actionCode":"promptCertificate"})"), arguments, &exitCode);
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
  BundleCopy bundle_{L"quillet-prompt-bundle", {QUILLET_STAND_IN_CRYPTDLG}};
  fs::path report_;
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
