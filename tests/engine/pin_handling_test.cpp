// What becomes of a PIN given in a "sign" request, through the real QuilletHost and its
// signature library: a PIN that cannot reach the key container whole is refused with its
// reason, never cut, and no copy of any PIN stays in the memory of a host that waits for its
// next request.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine/engine_test_support.h"
#include "tests/support/framing.h"
#include "tests/support/process_memory.h"

namespace quillet::test {
namespace {

TEST(PinHandling, APinThatCannotBePassedWholeIsRefusedWithItsReason) {
  HostSession session;
  const std::string pin40 = "forty-characters-of-pin-0123456789abcdef";
  ASSERT_EQ(pin40.size(), 40u);
  const Credential forty =
      session.addSigner(KeyType::kGost2012_256, TestStores::AddOptions().withPin(pin40));
  const Credential short_pin =
      session.addSigner(KeyType::kGost2012_256, TestStores::AddOptions().withPin("nul-pin"));
  struct Case {
    const char* what;
    std::string thumbprint;
    std::string password;
    const char* trace;  // the reason traced with 201; null: the request signs
  };
  const std::vector<Case> cases = {
      {"exactly 40 characters", forty.sha1Hex(), pin40, nullptr},
      // Cut to 40, this PIN would open the container: a PIN the user never gave.
      {"41 characters", forty.sha1Hex(), pin40 + "X",
       "ERROR=201 (password is longer than 40 characters)"},
      // Cut at the NUL, this one would too.
      {"a NUL inside", short_pin.sha1Hex(), std::string("nul-pin\0tail", 12),
       "ERROR=201 (password holds a NUL character and cannot be passed to the key container)"},
      {"not ASCII", short_pin.sha1Hex(), "nul-pin-ё",
       "ERROR=201 (password holds characters other than ASCII)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    session.clearLog();
    const nlohmann::json answer =
        session.ask(signRequest({SampleDocument(1)}, c.thumbprint, "", c.password));
    if (c.trace == nullptr) {
      EXPECT_EQ(ContentOf(answer).size(), 1u);
      continue;
    }
    EXPECT_EQ(answer, ErrorOf(201));
    EXPECT_EQ(countLines(session.logTexts(), c.trace), 1) << session.logText();
  }
}

// PINs as distinctive as a memory search needs, each taking another road through the host.
struct PinRoad {
  const char* what;
  std::string pin;
};

TEST(PinHandling, NoCopyOfAnyPinStaysInTheMemoryOfTheWaitingHost) {
  HostSession session;
  const std::string long_pin = "Lw4Rt-wipe-me-long-pin-Qz7x";
  const std::string short_pin = "Sso-pin-K3x9";  // fits into a string object itself
  const Credential long_signer =
      session.addSigner(KeyType::kGost2012_256, TestStores::AddOptions().withPin(long_pin));
  const Credential short_signer =
      session.addSigner(KeyType::kGost2012_256, TestStores::AddOptions().withPin(short_pin));
  const std::vector<PinRoad> refused = {
      {"wrong PIN", "Wr0ng-pin-refused-by-container"},
      {"documents not an array", "Xmls-pin-never-reaches-engine"},
      {"too long", "Too-long-pin-" + std::string(30, 'q') + "-9Zk"},
      {"NUL inside", "Nul-pin-before"},
  };
  nlohmann::json not_array = signRequest({}, long_signer.sha1Hex(), "", refused[1].pin);
  not_array["xmls"] = 5;
  const std::vector<nlohmann::json> requests = {
      signRequest({SampleDocument(1)}, long_signer.sha1Hex(), "", long_pin),
      signRequest({SampleDocument(2)}, short_signer.sha1Hex(), "", short_pin),
      signRequest({SampleDocument(3)}, long_signer.sha1Hex(), "", refused[0].pin),
      not_array,
      signRequest({SampleDocument(4)}, long_signer.sha1Hex(), "", refused[2].pin),
      signRequest({SampleDocument(5)}, long_signer.sha1Hex(), "",
                  refused[3].pin + std::string(1, '\0') + "after"),
      // Its answer shows that the host has finished with every request before it.
      nlohmann::json{{"actionCode", "getVersion"}},
  };
  HostProcess host(session.options());
  std::vector<nlohmann::json> answers;
  for (const nlohmann::json& request : requests) {
    ASSERT_TRUE(host.send(request.dump()));
    const std::optional<std::string> answer = host.receive();
    ASSERT_TRUE(answer.has_value());
    answers.push_back(nlohmann::json::parse(*answer));
  }
  EXPECT_EQ(ContentOf(answers[0]).size(), 1u);
  EXPECT_EQ(ContentOf(answers[1]).size(), 1u);
  EXPECT_EQ(answers[2], ErrorOf(201));
  EXPECT_EQ(answers[4], ErrorOf(201));
  EXPECT_EQ(answers[5], ErrorOf(201));

  // The host now waits for its next request, as a browser keeps it.
  std::vector<MemoryPattern> patterns = textForms("PIN", long_pin);
  for (const auto& form : textForms("short PIN", short_pin)) patterns.push_back(form);
  for (const PinRoad& road : refused) {
    for (const auto& form : textForms(road.what, road.pin)) patterns.push_back(form);
  }
  const auto hits = findInProcessMemory(host.pid(), patterns);
  if (!hits.has_value()) GTEST_SKIP() << "the host's memory cannot be read (needs root)";
  for (const MemoryHit& hit : *hits) {
    ADD_FAILURE() << hit.name << " at 0x" << std::hex << hit.address << " in " << hit.mapping;
  }
  EXPECT_EQ(host.finish().exitCode, 0);
}

}  // namespace
}  // namespace quillet::test
