// A long-lived host signs request after request in one process: initialisation, key,
// template, signing, release and shutdown, over and over, must not make the process grow.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "tests/proxy/signing_fixture.h"

namespace quillet::test {
namespace {

// Resident memory of this process in bytes.
long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0;
  long resident = 0;
  statm >> size >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

class LongLivedTest : public SigningTest {
 protected:
  // One sign request as the host makes it: key and template, one document, releases, and
  // the library shut down and initialised again.
  void Request(PCCERT_CONTEXT certificate) {
    _xmlSecKey* key = nullptr;
    _xmlNode* made = nullptr;
    ASSERT_EQ(proxy_.prepare_key(RecordTrace, &key, certificate, L"1234"), 0);
    ASSERT_EQ(proxy_.create_template(RecordTrace, certificate, &made), 0);
    wchar_t* result = nullptr;
    ASSERT_EQ(proxy_.sign(RecordTrace, key, made, false, L"<doc>текст</doc>", &result), 0);
    proxy_.free_buffer(result);
    proxy_.destroy_key(key);
    proxy_.destroy_template(made);
    proxy_.shutdown();
    int step = -1;
    ASSERT_EQ(proxy_.init(RecordTrace, RecordXmlSecError, &step), 0);
    Recorded::Clear();
  }
};

TEST_F(LongLivedTest, ThousandRequestsDoNotGrowTheProcess) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer keeps freed memory; its leak check covers this build";
#endif
  Certificate signer =
      StoredSigner(KeyType::kGost2012_256, TestStores::AddOptions().withPin("1234"));
  for (int i = 0; i < 100; ++i) ASSERT_NO_FATAL_FAILURE(Request(signer.get()));
  const long before = ResidentBytes();
  for (int i = 0; i < 900; ++i) ASSERT_NO_FATAL_FAILURE(Request(signer.get()));
  const long grown = ResidentBytes() - before;
  EXPECT_LT(grown, 1024 * 1024) << "grew by " << grown << " bytes over 900 requests";
}

}  // namespace
}  // namespace quillet::test
