// One long-lived host keeps the keys it has decoded (platform/key_cache_linux.cpp). What it
// keeps must never outlive the PIN that unlocked it nor the container file it came from:
// each case signs in ONE host process, changes the PIN or the file, and signs again.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/engine/engine_test_support.h"
#include "tests/support/file_bytes.h"
#include "tests/support/run_program.h"

namespace quillet::test {
namespace {

// One host process that answers requests one by one.
class LongLivedHost {
 public:
  explicit LongLivedHost(const HostSession& session) : host_(session.options()) {}
  ~LongLivedHost() { EXPECT_EQ(host_.finish().exitCode, 0); }

  nlohmann::json ask(const nlohmann::json& request) {
    if (!host_.send(request.dump())) return nullptr;
    const std::optional<std::string> answer = host_.receive();
    if (!answer.has_value()) return nullptr;
    return nlohmann::json::parse(*answer, nullptr, false);
  }

 private:
  HostProcess host_;
};

// The one signed document of a successful sign answer ("" otherwise).
std::string signedDocument(const nlohmann::json& answer) {
  if (!answer.value("success", false) || answer["content"].size() != 1) return "";
  return answer["content"][0].get<std::string>();
}

// True when the host verifies the document as signed by the certificate.
bool verifiesWith(LongLivedHost& host, const std::string& document, const Credential& signer) {
  const nlohmann::json answer = host.ask(verifyRequest(document, signer.pem()));
  return answer.value("success", false);
}

std::string keyFile(HostSession& session, const Credential& credential) {
  return session.stores().storeDir("My") + "/" + credential.sha1Hex() + ".key";
}

TEST(KeyContainerCache, AWrongPinAfterTheRightOneIsRefusedAsInAFreshHost) {
  HostSession session;
  const Credential signer =
      session.addSigner(KeyType::kGost2012_256, TestStores::AddOptions().withPin("Right-pin-5123"));
  const nlohmann::json wrong = signRequest({SampleDocument(2)}, signer.sha1Hex(), "", "wrong-5124");
  const nlohmann::json fresh_refusal = session.ask(wrong);
  ASSERT_FALSE(fresh_refusal.value("success", true)) << fresh_refusal.dump();

  LongLivedHost host(session);
  const nlohmann::json right =
      signRequest({SampleDocument(1)}, signer.sha1Hex(), "", "Right-pin-5123");
  EXPECT_NE(signedDocument(host.ask(right)), "");
  EXPECT_EQ(host.ask(wrong), fresh_refusal) << "after the right PIN";
  // A PIN that differs from the right one in its last character only, or is its prefix.
  EXPECT_EQ(host.ask(signRequest({SampleDocument(2)}, signer.sha1Hex(), "", "Right-pin-5124")),
            fresh_refusal);
  EXPECT_EQ(host.ask(signRequest({SampleDocument(2)}, signer.sha1Hex(), "", "Right-pin-512")),
            fresh_refusal);
  EXPECT_NE(signedDocument(host.ask(right)), "") << "the right PIN again";
}

TEST(KeyContainerCache, AContainerReimportedUnderANewPinTakesOnlyTheNewPin) {
  HostSession session;
  const Credential signer =
      session.addSigner(KeyType::kGost2012_256, TestStores::AddOptions().withPin("old-pin-7001"));
  const std::string work = session.stores().home() + "/reimport";
  std::filesystem::create_directories(work);
  writeFileOrFail(work + "/signer.pem", signer.pem());
  writeFileOrFail(work + "/signer.key", TestPki::keyPem(signer.key.get(), "transfer"));
  const std::string tool = std::string(QUILLET_TEST_BIN_DIR) + "/quillet-store";

  LongLivedHost host(session);
  const nlohmann::json old_pin =
      signRequest({SampleDocument(1)}, signer.sha1Hex(), "", "old-pin-7001");
  ASSERT_NE(signedDocument(host.ask(old_pin)), "");

  CliResult result = runProgram(tool, {"remove", "My", signer.sha1Hex()});
  ASSERT_EQ(result.status, 0) << result.err;
  result = runProgram(tool,
                      {"import", "My", work + "/signer.pem", "--key", work + "/signer.key",
                       "--key-password", "transfer", "--pin", "new-pin-7002"});
  ASSERT_EQ(result.status, 0) << result.err;

  // Refused as a fresh host refuses it: the key password failed (201).
  EXPECT_EQ(host.ask(old_pin), ErrorOf(201)) << "the old PIN after the new import";
  EXPECT_EQ(session.ask(old_pin), ErrorOf(201));
  const std::string signed_document = signedDocument(
      host.ask(signRequest({SampleDocument(1)}, signer.sha1Hex(), "", "new-pin-7002")));
  ASSERT_NE(signed_document, "");
  EXPECT_TRUE(verifiesWith(host, signed_document, signer));
}

TEST(KeyContainerCache, AnUnencryptedContainerOverwrittenOnDiskIsSeenAtOnce) {
  HostSession session;
  const Credential first = session.addSigner();
  const Credential second = session.addSigner();
  LongLivedHost host(session);
  const nlohmann::json request = signRequest({SampleDocument(1)}, first.sha1Hex());
  const std::string before = signedDocument(host.ask(request));
  ASSERT_NE(before, "");
  ASSERT_TRUE(verifiesWith(host, before, first));

  // The second signer's key written over the first's container, within the same second.
  writeFileOrFail(keyFile(session, first), readFile(keyFile(session, second)));
  const std::string after = signedDocument(host.ask(request));
  ASSERT_NE(after, "");
  EXPECT_FALSE(verifiesWith(host, after, first)) << "signed with the key that was replaced";
}

}  // namespace
}  // namespace quillet::test
