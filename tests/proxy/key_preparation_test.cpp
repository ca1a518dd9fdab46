// PreparePrivateKey: the key container, its PIN, and what reaches the caller on each
// outcome.
#include <gtest/gtest.h>

#include <string>

#include "tests/proxy/signing_fixture.h"

namespace quillet::test {
namespace {

// What the out-pointer holds before the call, to see whether it was written.
_xmlSecKey* const kUntouched = reinterpret_cast<_xmlSecKey*>(0x1);

class KeyPreparationTest : public SigningTest {
 protected:
  // Prepares a key for the certificate with the password; *key gets what the call wrote
  // (kUntouched when nothing). A key handed out is released at the end of the test.
  int Prepare(PCCERT_CONTEXT certificate, const wchar_t* password, _xmlSecKey** key) {
    Recorded::Clear();
    *key = kUntouched;
    const int code = proxy_.prepare_key(RecordTrace, key, certificate, password);
    if (*key != kUntouched && *key != nullptr) made_.push_back(*key);
    return code;
  }

  void TearDown() override {
    for (_xmlSecKey* key : made_) proxy_.destroy_key(key);
    SigningTest::TearDown();
  }

  // True when the key signs a document that the bundled xmlsec1 tool verifies.
  bool Signs(_xmlSecKey* key, PCCERT_CONTEXT certificate) {
    key_ = key;
    template_ = TemplateFor(certificate);
    int code = -1;
    const std::string whole = SignText("<a>PIN</a>", false, &code);
    std::string said;
    return code == 0 && verifier_.Verifies(whole, &said);
  }

 private:
  std::vector<_xmlSecKey*> made_;
};

TEST_F(KeyPreparationTest, PinsAndPasswords) {
  const std::string pin40 = pinOfLength(40);
  const std::string pin45 = pinOfLength(45);
  const std::wstring longer = Wide(pin40 + "extra");
  const TraceLine refused{L"CryptSetProvParam call failed", 201, SCARD_W_WRONG_CHV};
  const TraceLine too_long{L"password is longer than 40 characters", 201, 0};
  const struct {
    const char* name;
    std::string container_pin;  // empty: an unencrypted container
    std::wstring password;
    bool null_password;
    int code;
    std::vector<TraceLine> trace;
  } cases[] = {
      {"no PIN, null password", "", L"", true, 0, {}},
      {"no PIN, empty password", "", L"", false, 0, {}},
      {"no PIN, some password", "", L"1234", false, 0, {}},
      {"right PIN", "1234", L"1234", false, 0, {}},
      {"wrong PIN", "1234", L"4321", false, 201, {refused}},
      {"40 characters, whole", pin40, Wide(pin40), false, 0, {}},
      // Never cut to 40: a cut PIN that happens to open the container is not what was given.
      {"longer password refused, not cut", pin40, longer, false, 201, {too_long}},
      {"45-character PIN cannot be given", pin45, Wide(pin45), false, 201, {too_long}},
      {"not ASCII",
       "1234",
       L"пароль",
       false,
       201,
       {{L"password holds characters other than ASCII", 201, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Certificate certificate =
        StoredSigner(KeyType::kGost2012_256, TestStores::AddOptions().withPin(c.container_pin));
    _xmlSecKey* key = nullptr;
    EXPECT_EQ(Prepare(certificate.get(), c.null_password ? nullptr : c.password.c_str(), &key),
              c.code)
        << DescribeErrors();
    EXPECT_EQ(Recorded::lines(), c.trace);
    if (c.code == 0) {
      EXPECT_TRUE(Signs(key, certificate.get()));
    } else {
      EXPECT_EQ(key, kUntouched);
    }
  }
}

TEST_F(KeyPreparationTest, EncryptedContainerWithoutPinGivesNoKey) {
  Certificate certificate =
      StoredSigner(KeyType::kGost2012_256, TestStores::AddOptions().withPin("1234"));
  for (const wchar_t* password : {static_cast<const wchar_t*>(nullptr), L""}) {
    _xmlSecKey* key = nullptr;
    EXPECT_EQ(Prepare(certificate.get(), password, &key), 202);
    EXPECT_EQ(key, nullptr);
    EXPECT_TRUE(Recorded::lines().empty());
    EXPECT_FALSE(Recorded::errors().empty());
  }
}

TEST_F(KeyPreparationTest, CertificateWithoutKeyContainer) {
  Certificate certificate = StoredSigner(KeyType::kGost2012_256, TestStores::AddOptions().noKey());
  _xmlSecKey* key = nullptr;
  EXPECT_EQ(Prepare(certificate.get(), L"1234", &key), 200);
  EXPECT_EQ(key, kUntouched);
  EXPECT_TRUE(Recorded::lines().empty());
  // xmlsec1's error callback says why, with the system error.
  ASSERT_FALSE(Recorded::errors().empty());
  EXPECT_NE(Recorded::errors().back().find("CryptAcquireCertificatePrivateKey"), std::string::npos)
      << DescribeErrors();
}

TEST_F(KeyPreparationTest, EveryKeyTypeMakesASigningKey) {
  for (KeyType type : {KeyType::kGost2001, KeyType::kGost2012_256, KeyType::kGost2012_512}) {
    Certificate certificate = StoredSigner(type);
    _xmlSecKey* key = nullptr;
    ASSERT_EQ(Prepare(certificate.get(), nullptr, &key), 0) << DescribeErrors();
    EXPECT_TRUE(Signs(key, certificate.get()));
  }
}

}  // namespace
}  // namespace quillet::test
