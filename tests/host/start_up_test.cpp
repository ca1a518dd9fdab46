// What the real QuilletHost has mapped after answering getVersion: a request that touches no
// certificate, document or CRL must not pay for libcrypto, the GOST engine, libcurl or the XML
// libraries (they are loaded on first need).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/host_process.h"

namespace quillet::test {
namespace {

std::string MapsOf(pid_t pid) {
  std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
  std::stringstream text;
  text << maps.rdbuf();
  return text.str();
}

TEST(HostStartUp, GetVersionLoadsNothingItDoesNotUse) {
  HostProcess host;
  ASSERT_TRUE(host.send(R"({"actionCode":"getVersion"})"));
  const auto answer = host.receive();
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(*answer, R"({"content":{"major":1,"minor":2},"success":true})");
  const std::string maps = MapsOf(host.pid());
  ASSERT_NE(maps.find("libQuilletPlatform.so"), std::string::npos) << maps;
  for (const char* module : {"libcrypto", "/gost.so", "libcurl", "libgnutls", "libkrb5", "libxml2",
                             "libxmlsec1", "libQuilletProxy"}) {
    EXPECT_EQ(maps.find(module), std::string::npos) << module << " is mapped:\n" << maps;
  }
  EXPECT_EQ(host.finish().exitCode, 0);
}

}  // namespace
}  // namespace quillet::test
