// How the engine binds its libraries, seen through the real host run from a copy of the
// runtime directory that a test changes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine/engine_test_support.h"

namespace quillet::test {
namespace {

constexpr char kStandInDir[] = QUILLET_TEST_STAND_IN_DIR;

class BindingTest : public ::testing::Test {
 protected:
  void SetUp() override { signer_ = session_.addSigner(); }

  nlohmann::json SignFrom(const RuntimeCopy& runtime) {
    return session_.ask(signRequest({SampleDocument(1)}, signer_.sha1Hex()), runtime.host());
  }

  HostSession session_;
  Credential signer_;
};

TEST_F(BindingTest, AMissingBundledLibraryFailsEveryRequest) {
  // The real signature library needs every bundled library itself and would not load
  // without one (105, below); the stand-in needs none of them, so the engine's own verdict
  // shows: 107, and no request initialises the library.
  RuntimeCopy runtime;
  runtime.replace("libQuilletProxy.so",
                  std::string(kStandInDir) + "/libstand_in_proxy_init_fails.so");
  runtime.remove("libxmlsec1-openssl.so.1");
  const std::vector<nlohmann::json> answers =
      session_.askAll({signRequest({SampleDocument(1)}, signer_.sha1Hex()),
                       verifyRequest("<a/>"),
                       {{"actionCode", "promptCertificate"}}},
                      runtime.host());
  for (const nlohmann::json& answer : answers) EXPECT_EQ(answer, ErrorOf(107));

  const std::vector<std::string> log = session_.logTexts();
  const std::string missing = runtime.dir() + "/libxmlsec1-openssl.so.1";
  EXPECT_TRUE(containsInOrder(
      log,
      {"1st probe " + runtime.dir() + "/libxmlsec1.so.1", "1st probe " + missing,
       "ERROR=102 (1st probe failed " + missing, "Initialization: 107 (",
       ">>> VektQuilletImpl::sign", "1) Initialization failed: 107", "<<< VektQuilletImpl::sign",
       ">>> VektQuilletImpl::verify", "1) Initialization failed: 107",
       ">>> VektQuilletImpl::promptCertificate", "1) Initialization failed: 107"}));
  EXPECT_EQ(countLines(log, "stand-in InitXmlSec"), 0);
  EXPECT_EQ(countLines(log, "Store opened"), 0);
  EXPECT_EQ(countLines(log, "ERROR=107 (ошибка подписания документа"), 0);
}

TEST_F(BindingTest, TheLibrariesAfterAMissingOneAreNotTried) {
  RuntimeCopy runtime;
  runtime.remove("libxmlsec1.so.1");
  // The signature library needs the first one too, so it cannot load either: 105.
  EXPECT_EQ(SignFrom(runtime), ErrorOf(105));
  const std::vector<std::string> log = session_.logTexts();
  EXPECT_TRUE(
      containsInOrder(log, {"ERROR=102 (1st probe failed " + runtime.dir() + "/libxmlsec1.so.1",
                            "Initialization: 105 (00000000"}));
  EXPECT_EQ(countLines(log, "1st probe " + runtime.dir() + "/libxmlsec1-openssl.so.1"), 0);
}

TEST_F(BindingTest, AMissingSignatureLibraryWinsOverAMissingDependency) {
  RuntimeCopy runtime;
  runtime.remove("libQuilletProxy.so");
  EXPECT_EQ(SignFrom(runtime), ErrorOf(105));
  runtime.remove("libxmlsec1-openssl.so.1");
  EXPECT_EQ(SignFrom(runtime), ErrorOf(105));
  EXPECT_TRUE(containsInOrder(session_.logTexts(),
                              {"Initialization: 105 (00000000", "Initialization: 105 (00000000"}));
}

TEST_F(BindingTest, AMissingExportLeavesTheOthersBound) {
  RuntimeCopy runtime;
  runtime.replace("libQuilletProxy.so",
                  std::string(kStandInDir) + "/libstand_in_proxy_without_sign.so");
  EXPECT_EQ(SignFrom(runtime), ErrorOf(106));
  const std::vector<std::string> log = session_.logTexts();
  std::string binding;
  for (const std::string& line : log) {
    if (line.rfind("Initialization: ", 0) == 0) binding = line;
  }
  // Seven slots in their order; only the sixth (Sign) is empty.
  const std::size_t open = binding.find(" [");
  ASSERT_NE(open, std::string::npos) << binding;
  std::vector<std::string> slots;
  std::size_t at = open + 2;
  while (at < binding.size() && binding[at] != ']') {
    const std::size_t end = binding.find_first_of(" ]", at + 1);
    slots.push_back(binding.substr(at + 1, end - at - 1));
    at = end;
  }
  ASSERT_EQ(slots.size(), 7u) << binding;
  for (std::size_t i = 0; i < slots.size(); ++i) {
    EXPECT_EQ(slots[i].size(), 2 * sizeof(void*)) << binding;
    EXPECT_EQ(slots[i] == std::string(2 * sizeof(void*), '0'), i == 5) << binding;
  }
  EXPECT_EQ(binding.rfind("Initialization: 106 (", 0), 0u) << binding;
}

TEST_F(BindingTest, AFailedInitialisationIsNotShutDown) {
  RuntimeCopy runtime;
  runtime.replace("libQuilletProxy.so",
                  std::string(kStandInDir) + "/libstand_in_proxy_init_fails.so");
  EXPECT_EQ(SignFrom(runtime), ErrorOf(101));
  const std::vector<std::string> log = session_.logTexts();
  EXPECT_TRUE(containsInOrder(
      log, {"Initialization: 0 (", ">>> VektQuilletImpl::sign", "stand-in InitXmlSec",
            "2) Initialization failed: 101", "<<< VektQuilletImpl::sign"}));
  EXPECT_EQ(countLines(log, "stand-in ShutDownXmlSec"), 0);
  EXPECT_EQ(countLines(log, "Store opened"), 0);
}

TEST_F(BindingTest, EveryRequestBindsAgain) {
  const std::vector<nlohmann::json> answers =
      session_.askAll({signRequest({SampleDocument(1)}, signer_.sha1Hex()),
                       signRequest({SampleDocument(2)}, signer_.sha1Hex())});
  EXPECT_EQ(ContentOf(answers[0]).size(), 1u);
  EXPECT_EQ(ContentOf(answers[1]).size(), 1u);
  const std::vector<std::string> log = session_.logTexts();
  EXPECT_EQ(countLines(log, "Plugin version (NM): 1.2.0.0"), 2);
  // The engine's probes name the full path (the library's own probe does not).
  EXPECT_EQ(countLines(log, "1st probe " + binDirectory() + "/"), 4);
  EXPECT_EQ(countLines(log, "Initialization: 0 ("), 2);
  EXPECT_TRUE(containsInOrder(log, {"Initialization: 0 (", "<<< VektQuilletImpl::sign",
                                    "Initialization: 0 (", "<<< VektQuilletImpl::sign"}));
}

}  // namespace
}  // namespace quillet::test
