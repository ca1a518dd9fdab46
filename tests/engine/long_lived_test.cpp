// A host that serves many requests in one process, as a browser keeps it: every request
// succeeds and what one request takes is given back.
#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <optional>
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

// A document of about the given size in bytes: many small elements, as a register has.
std::string LargeDocument(std::size_t bytes) {
  std::string document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Реестр>";
  for (int n = 1; document.size() < bytes; ++n) {
    document += "<Запись номер=\"" + std::to_string(n) + "\">Сведения о записи</Запись>";
  }
  return document + "</Реестр>";
}

// The copies of a large document (the request's bytes, its UTF-16 text, the signature
// library's tree) are freed at the end of the request, and the host hands that memory back
// to the system, so a host the browser keeps open does not stay at its largest request's
// peak.
TEST(LongLivedHost, ALargeRequestGivesItsMemoryBackToTheSystem) {
  HostSession session;
  const Credential signer = session.addSigner();
  HostProcess host(session.options());
  const std::string small = signRequest({SampleDocument(1)}, signer.sha1Hex()).dump();
  nlohmann::json large = signRequest({LargeDocument(12 << 20)}, signer.sha1Hex());
  large["returnSignatureOnly"] = "1";

  for (const std::string* request : {&small, &small}) {
    ASSERT_TRUE(host.send(*request));
    ASSERT_TRUE(host.receive().has_value());
  }
  const long before = ResidentKib(host.pid());
  ASSERT_TRUE(host.send(large.dump()));
  const std::optional<std::string> answer = host.receive();
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(ContentOf(nlohmann::json::parse(*answer)).size(), 1U);
  // The memory goes back after the answer is written: measured once the next answer is in.
  ASSERT_TRUE(host.send(small));
  EXPECT_TRUE(host.receive().has_value()) << "the host serves on after a large request";
  const long after = ResidentKib(host.pid());
  EXPECT_EQ(host.finish().exitCode, 0);
  if (kResidentMemoryMeaningful) {
    ASSERT_GT(before, 0);
    // The request's tree alone is several times its 12 MiB.
    EXPECT_LT(after - before, 8 * 1024)
        << "resident " << before << " KiB before the large request, " << after << " KiB after";
  }
}

}  // namespace
}  // namespace quillet::test
