// The revocation check of a long-lived process: the store CRLs it keeps between calls must
// never hide a CRL replaced on disk, nor let a CRL count for a key that did not sign it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/win32.h"
#include "tests/support/test_pki.h"
#include "tests/support/test_stores.h"

namespace quillet::test {
namespace {

// A CRL file is taken from the cache only once its status has stood still for a second;
// the cases wait that long so that the cached path is the one under test.
void LetFilesSettle() { std::this_thread::sleep_for(std::chrono::milliseconds(1100)); }

struct timespec ModifiedTime(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info.st_mtim;
}

void SetModifiedTime(const std::string& path, const struct timespec& modified) {
  const struct timespec times[2] = {modified, modified};
  EXPECT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

class StoreCrlCacheTest : public testing::Test {
 protected:
  void SetUp() override {
    stores_.add("Root", pki_.root(), TestStores::AddOptions().noKey());
    stores_.add("CA", pki_.intermediate(), TestStores::AddOptions().noKey());
  }

  // Asks about one certificate the way the certificate check does (no chain, no issuer):
  // the issuer comes from the stores, the CRLs from the store files only.
  BOOL Verify(const Credential& credential) {
    const Bytes der = credential.der();
    PCCERT_CONTEXT context =
        CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
    EXPECT_NE(context, nullptr);
    PVOID contexts[] = {const_cast<PCERT_CONTEXT>(context)};
    status_ = CERT_REVOCATION_STATUS{};
    status_.cbSize = sizeof status_;
    const BOOL result = CertVerifyRevocation(
        X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, CERT_CONTEXT_REVOCATION_TYPE, 1, contexts,
        CERT_VERIFY_CACHE_ONLY_BASED_REVOCATION, nullptr, &status_);
    CertFreeCertificateContext(context);
    return result;
  }

  TestPki pki_;
  TestStores stores_;
  CERT_REVOCATION_STATUS status_{};
};

TEST_F(StoreCrlCacheTest, CrlReplacedOnDiskIsSeenByTheSameProcess) {
  const Credential other = pki_.issue(CertOptions());
  const Credential leaf = pki_.issue(CertOptions());
  const std::string path = stores_.storeDir("CA") + "/issuing.crl";
  writeFileOrFail(path, pki_.makeCrl(pki_.intermediate(), {{other.serial(), 1}}));
  const struct timespec first_modified = ModifiedTime(path);
  LetFilesSettle();
  EXPECT_TRUE(Verify(leaf));
  EXPECT_TRUE(Verify(leaf)) << "the second answer comes from the kept CRL";

  // Rewritten in place (same inode), with a CRL of the same size that lists the leaf, and
  // its modification time put back: only the status-change time tells the versions apart.
  writeFileOrFail(path, pki_.makeCrl(pki_.intermediate(), {{leaf.serial(), 1}}));
  SetModifiedTime(path, first_modified);
  EXPECT_FALSE(Verify(leaf));
  EXPECT_EQ(status_.dwError, CRYPT_E_REVOKED);
  EXPECT_EQ(status_.dwReason, static_cast<DWORD>(CRL_REASON_KEY_COMPROMISE));

  // Replaced by a new file under the same name: read again.
  const std::string next = stores_.storeDir("CA") + "/next.tmp";
  writeFileOrFail(next, pki_.makeCrl(pki_.intermediate(), {{other.serial(), 1}}));
  ASSERT_EQ(std::rename(next.c_str(), path.c_str()), 0);
  LetFilesSettle();
  EXPECT_TRUE(Verify(leaf));

  // Removed: no CRL any more, whatever the process read before.
  ASSERT_EQ(std::remove(path.c_str()), 0);
  EXPECT_FALSE(Verify(leaf));
  EXPECT_EQ(status_.dwError, static_cast<DWORD>(CRYPT_E_NO_REVOCATION_CHECK));
}

// Two CAs of the same name in the CA store; the CRL is signed by the other one's key.
TEST_F(StoreCrlCacheTest, SignatureCheckIsKeptOnlyForTheKeyThatVerifiedIt) {
  TestPki stranger;  // the same names, other keys
  stores_.add("CA", stranger.intermediate(), TestStores::AddOptions().noKey());
  const Credential ours = pki_.issue(CertOptions());
  const Credential theirs = stranger.issue(CertOptions());
  stores_.addCrl(
      "CA", stranger.makeCrl(stranger.intermediate(), {{theirs.serial(), 1}, {ours.serial(), 1}}),
      "issuing");
  LetFilesSettle();

  // Our CA did not sign it: no CRL for our leaf. The failure is not remembered...
  EXPECT_FALSE(Verify(ours));
  EXPECT_EQ(status_.dwError, static_cast<DWORD>(CRYPT_E_NO_REVOCATION_CHECK));
  // ...so the key that did sign it is heard...
  EXPECT_FALSE(Verify(theirs));
  EXPECT_EQ(status_.dwError, CRYPT_E_REVOKED);
  // ...and its success does not carry over to our CA's key.
  EXPECT_FALSE(Verify(ours));
  EXPECT_EQ(status_.dwError, static_cast<DWORD>(CRYPT_E_NO_REVOCATION_CHECK));
}

}  // namespace
}  // namespace quillet::test
