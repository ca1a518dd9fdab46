// System stores on Linux: directories of certificate files under the user's data home.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/support/test_stores.h"

namespace quillet::test {
namespace {

constexpr DWORD kOpenFlags = CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG;

HCERTSTORE OpenStore(const wchar_t* name) {
  return CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, kOpenFlags, name);
}

// The thumbprints of the store's certificates in enumeration order.
std::vector<std::string> Enumerate(HCERTSTORE store) {
  std::vector<std::string> found;
  PCCERT_CONTEXT context = nullptr;
  while ((context = CertEnumCertificatesInStore(store, context)) != nullptr) {
    BYTE hash[20];
    DWORD size = sizeof(hash);
    EXPECT_TRUE(CertGetCertificateContextProperty(context, CERT_SHA1_HASH_PROP_ID, hash, &size));
    found.push_back(hexOf(Bytes(hash, hash + size)));
  }
  EXPECT_EQ(GetLastError(), CRYPT_E_NOT_FOUND);
  return found;
}

PCCERT_CONTEXT FindByHash(HCERTSTORE store, const Bytes& hash) {
  CRYPT_HASH_BLOB blob{static_cast<DWORD>(hash.size()), const_cast<BYTE*>(hash.data())};
  return CertFindCertificateInStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                    CERT_FIND_SHA1_HASH, &blob, nullptr);
}

class CertStoreTest : public ::testing::Test {
 protected:
  TestStores stores_;
  TestPki pki_;
};

TEST_F(CertStoreTest, MissingStoreOpensEmptyAndCreatesNothing) {
  HCERTSTORE store = OpenStore(L"My");
  ASSERT_NE(store, nullptr);
  SetLastError(0);
  EXPECT_EQ(CertEnumCertificatesInStore(store, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), CRYPT_E_NOT_FOUND);
  EXPECT_EQ(FindByHash(store, pki_.root().sha1()), nullptr);
  EXPECT_EQ(GetLastError(), CRYPT_E_NOT_FOUND);
  EXPECT_TRUE(CertCloseStore(store, 0));
  EXPECT_FALSE(std::filesystem::exists(stores_.home() + "/tavlin.quillet"));
}

TEST_F(CertStoreTest, StorePathThatIsNotADirectoryIsAccessDenied) {
  stores_.storeDir("Root");  // makes the stores directory
  writeFileOrFail(stores_.home() + "/tavlin.quillet/stores/My", std::string("not a directory"));
  std::filesystem::create_symlink("/nonexistent/target",
                                  stores_.home() + "/tavlin.quillet/stores/CA");
  for (const wchar_t* name : {L"My", L"my", L"CA"}) {
    SetLastError(0);
    EXPECT_EQ(OpenStore(name), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  }
}

TEST_F(CertStoreTest, NamesMatchWithoutRegardToCase) {
  const Credential leaf = pki_.issue(CertOptions());
  stores_.add("My", leaf);
  const Credential other = pki_.issue(CertOptions());
  stores_.add("Личные", other);
  const struct {
    const wchar_t* name;
    std::string thumbprint;
  } cases[] = {{L"My", leaf.sha1Hex()},
               {L"MY", leaf.sha1Hex()},
               {L"mY", leaf.sha1Hex()},
               {L"ЛИЧНЫЕ", other.sha1Hex()},
               {L"личные", other.sha1Hex()}};
  for (const auto& row : cases) {
    HCERTSTORE store = OpenStore(row.name);
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(Enumerate(store), std::vector<std::string>{row.thumbprint});
    CertCloseStore(store, 0);
  }
}

TEST_F(CertStoreTest, EnumeratesDerAndPemFilesInNameOrderSkippingOthers) {
  const Credential a = pki_.issue(CertOptions());
  const Credential b = pki_.issue(CertOptions());
  const Credential c = pki_.issue(CertOptions());
  stores_.add("My", a, TestStores::AddOptions().withStem("b-second"));
  stores_.add("My", b, TestStores::AddOptions().withStem("a-first").asPem());
  stores_.add("My", c, TestStores::AddOptions().withStem("c-third"));
  stores_.add("My", a, TestStores::AddOptions().withStem("d-duplicate"));
  const std::string dir = stores_.storeDir("My");
  writeFileOrFail(dir + "/0-garbage.cer", std::string("\x30\x03\x02\x01\x01", 5));
  writeFileOrFail(dir + "/readme.txt", a.pem());
  HCERTSTORE store = OpenStore(L"My");
  EXPECT_EQ(Enumerate(store), (std::vector<std::string>{b.sha1Hex(), a.sha1Hex(), c.sha1Hex()}));
  CertCloseStore(store, 0);
}

TEST_F(CertStoreTest, FindsByThumbprintAndContinuesAfterThePrevious) {
  const Credential a = pki_.issue(CertOptions());
  const Credential b = pki_.issue(CertOptions());
  stores_.add("My", a);
  stores_.add("My", b);
  HCERTSTORE store = OpenStore(L"My");
  PCCERT_CONTEXT found = FindByHash(store, b.sha1());
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(Bytes(found->pbCertEncoded, found->pbCertEncoded + found->cbCertEncoded), b.der());
  EXPECT_EQ(found->hCertStore, store);
  // Searching on from the found one frees it and finds nothing more.
  CRYPT_HASH_BLOB blob{20, const_cast<BYTE*>(b.sha1().data())};
  const Bytes hash = b.sha1();
  blob.pbData = const_cast<BYTE*>(hash.data());
  SetLastError(0);
  EXPECT_EQ(
      CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_SHA1_HASH, &blob, found),
      nullptr);
  EXPECT_EQ(GetLastError(), CRYPT_E_NOT_FOUND);
  // A hash of the wrong size matches nothing.
  Bytes short_hash = a.sha1();
  short_hash.pop_back();
  EXPECT_EQ(FindByHash(store, short_hash), nullptr);
  EXPECT_EQ(GetLastError(), CRYPT_E_NOT_FOUND);
  CertCloseStore(store, 0);
}

TEST_F(CertStoreTest, ContextOutlivesItsClosedStore) {
  const Credential leaf = pki_.issue(CertOptions());
  stores_.add("My", leaf);
  HCERTSTORE store = OpenStore(L"My");
  PCCERT_CONTEXT context = FindByHash(store, leaf.sha1());
  ASSERT_NE(context, nullptr);
  PCCERT_CONTEXT copy = CertDuplicateCertificateContext(context);
  EXPECT_EQ(copy, context);
  EXPECT_FALSE(CertCloseStore(store, CERT_CLOSE_STORE_CHECK_FLAG));
  EXPECT_EQ(GetLastError(), CRYPT_E_PENDING_CLOSE);
  CertFreeCertificateContext(context);
  // Still one reference: everything it points at is intact.
  EXPECT_EQ(Bytes(copy->pbCertEncoded, copy->pbCertEncoded + copy->cbCertEncoded), leaf.der());
  EXPECT_STREQ(copy->pCertInfo->SignatureAlgorithm.pszObjId, "1.2.643.7.1.1.3.2");
  CertFreeCertificateContext(copy);
}

TEST_F(CertStoreTest, StoreIsASnapshotOfItsOpening) {
  const Credential a = pki_.issue(CertOptions());
  stores_.add("My", a);
  HCERTSTORE store = OpenStore(L"My");
  const Credential b = pki_.issue(CertOptions());
  stores_.add("My", b);
  EXPECT_EQ(Enumerate(store), std::vector<std::string>{a.sha1Hex()});
  HCERTSTORE reopened = OpenStore(L"My");
  EXPECT_EQ(Enumerate(reopened).size(), 2u);
  CertCloseStore(reopened, 0);
  CertCloseStore(store, 0);
}

TEST_F(CertStoreTest, RefusesWhatItDoesNotImplement) {
  SetLastError(0);
  EXPECT_EQ(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                          CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_READONLY_FLAG, L"My"),
            nullptr);
  EXPECT_EQ(GetLastError(), E_INVALIDARG);
  EXPECT_EQ(CertOpenStore(reinterpret_cast<LPCSTR>(2), 0, 0, kOpenFlags, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, kOpenFlags, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), E_INVALIDARG);
  int not_a_store = 0;
  EXPECT_FALSE(CertCloseStore(&not_a_store, 0));
  EXPECT_EQ(CertEnumCertificatesInStore(&not_a_store, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), E_INVALIDARG);
  EXPECT_TRUE(CertCloseStore(nullptr, 0));
}

TEST_F(CertStoreTest, XdgDataHomeMustBeAbsoluteElseHomeIsUsed) {
  const Credential leaf = pki_.issue(CertOptions());
  const std::string data_home = stores_.home();
  // Stores under $HOME/.local/share when XDG_DATA_HOME is relative.
  const std::string dir = stores_.home() + "/.local/share/tavlin.quillet/stores/My";
  std::filesystem::create_directories(dir);
  writeFileOrFail(dir + "/leaf.cer", leaf.der());
  setenv("XDG_DATA_HOME", "relative/path", 1);
  HCERTSTORE store = OpenStore(L"My");
  EXPECT_EQ(Enumerate(store), std::vector<std::string>{leaf.sha1Hex()});
  CertCloseStore(store, 0);
  setenv("XDG_DATA_HOME", data_home.c_str(), 1);
}

}  // namespace
}  // namespace quillet::test
