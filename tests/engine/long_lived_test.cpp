// A host that serves many requests in one process, as a browser keeps it: every request
// succeeds and what one request takes is given back.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/engine/engine_test_support.h"

namespace quillet::test {
namespace {

// Resident memory of a process in KiB (VmRSS), or -1.
long ResidentKib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer keeps freed memory in quarantine: resident memory says nothing there,
// and its leak check at the host's exit covers the release path instead.
constexpr bool kResidentMemoryMeaningful = false;
#else
constexpr bool kResidentMemoryMeaningful = true;
#endif

TEST(LongLivedHost, ThousandSignRequestsSucceedAndGiveTheirMemoryBack) {
  HostSession session;
  const Credential signer = session.addSigner();
  HostProcess host(session.options());
  const std::string request =
      signRequest({SampleDocument(1), SampleDocument(2)}, signer.sha1Hex()).dump();
  long after_hundred = -1;
  int succeeded = 0;
  for (int i = 1; i <= 1000; ++i) {
    ASSERT_TRUE(host.send(request)) << "request " << i;
    const std::optional<std::string> answer = host.receive();
    ASSERT_TRUE(answer.has_value()) << "no answer to request " << i;
    const nlohmann::json parsed = nlohmann::json::parse(*answer);
    if (parsed.value("success", false) && parsed["content"].size() == 2) ++succeeded;
    if (i == 100) after_hundred = ResidentKib(host.pid());
  }
  const long after_thousand = ResidentKib(host.pid());
  EXPECT_EQ(succeeded, 1000);
  EXPECT_EQ(host.finish().exitCode, 0);
  if (kResidentMemoryMeaningful) {
    ASSERT_GT(after_hundred, 0);
    EXPECT_LT(after_thousand - after_hundred, 2048)
        << "resident " << after_hundred << " KiB after 100 requests, " << after_thousand
        << " KiB after 1000";
  }
}

}  // namespace
}  // namespace quillet::test
