// Key containers: the PKCS#8 key beside a certificate, unlocked by its PIN.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "platform/key_container_linux.h"
#include "platform/win32.h"
#include "tests/support/test_stores.h"

namespace quillet::test {
namespace {

class KeyContainerTest : public ::testing::Test {
 protected:
  // Puts a certificate into "My" and returns a context of it from a fresh store.
  PCCERT_CONTEXT Stored(const Credential& credential, const TestStores::AddOptions& options) {
    stores_.add("My", credential, options);
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                      CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, L"My");
    const Bytes hash = credential.sha1();
    CRYPT_HASH_BLOB blob{20, const_cast<BYTE*>(hash.data())};
    PCCERT_CONTEXT context = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0,
                                                        CERT_FIND_SHA1_HASH, &blob, nullptr);
    CertCloseStore(store, 0);
    return context;
  }

  HCRYPTPROV Acquire(PCCERT_CONTEXT context) {
    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE provider = 0;
    DWORD spec = 0;
    BOOL caller_frees = FALSE;
    EXPECT_TRUE(CryptAcquireCertificatePrivateKey(context, CRYPT_ACQUIRE_SILENT_FLAG, nullptr,
                                                  &provider, &spec, &caller_frees));
    EXPECT_EQ(spec, static_cast<DWORD>(AT_KEYEXCHANGE));
    EXPECT_TRUE(caller_frees);
    return provider;
  }

  static bool SetPin(HCRYPTPROV provider, const std::string& pin) {
    return CryptSetProvParam(provider, PP_KEYEXCHANGE_PIN,
                             reinterpret_cast<const BYTE*>(pin.c_str()), 0) == TRUE;
  }

  // True when the container's key is the credential's private key.
  static bool KeyMatches(HCRYPTPROV provider, const Credential& credential) {
    EVP_PKEY* key = QuilletKeyContainerGetKey(provider);
    if (key == nullptr) return false;
    const bool same = EVP_PKEY_eq(key, credential.key.get()) == 1;
    EVP_PKEY_free(key);
    return same;
  }

  TestStores stores_;
  TestPki pki_;
};

TEST_F(KeyContainerTest, UnencryptedKeyIsReadyForEveryKeyType) {
  for (KeyType type : {KeyType::kGost2001, KeyType::kGost2012_256, KeyType::kGost2012_512}) {
    CertOptions options;
    options.keyType = type;
    const Credential leaf = pki_.issue(options);
    PCCERT_CONTEXT context = Stored(leaf, TestStores::AddOptions());
    ASSERT_NE(context, nullptr);
    HCRYPTPROV provider = Acquire(context);
    EXPECT_TRUE(KeyMatches(provider, leaf));
    // A PIN for a container that has none changes nothing.
    EXPECT_TRUE(SetPin(provider, "whatever"));
    EXPECT_TRUE(KeyMatches(provider, leaf));
    EXPECT_TRUE(CryptReleaseContext(provider, 0));
    CertFreeCertificateContext(context);
  }
}

TEST_F(KeyContainerTest, PinIsCheckedWhereItIsSet) {
  const Credential leaf = pki_.issue(CertOptions());
  const std::string pin = pinOfLength(40);
  PCCERT_CONTEXT context = Stored(leaf, TestStores::AddOptions().withPin(pin));
  HCRYPTPROV provider = Acquire(context);
  SetLastError(0);
  EXPECT_EQ(QuilletKeyContainerGetKey(provider), nullptr);
  EXPECT_EQ(GetLastError(), SCARD_W_WRONG_CHV);
  for (const std::string& wrong :
       {std::string(), pin.substr(0, 39), pin + "x", std::string("1234")}) {
    SetLastError(0);
    EXPECT_FALSE(SetPin(provider, wrong)) << wrong;
    EXPECT_EQ(GetLastError(), SCARD_W_WRONG_CHV) << wrong;
  }
  wchar_t text[128] = {};
  EXPECT_GT(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           GetLastError(), 0, text, 128, nullptr),
            0u);
  EXPECT_EQ(std::wstring(text),
            L"The card cannot be accessed because the wrong PIN was presented.\r\n");
  EXPECT_TRUE(SetPin(provider, pin));
  EXPECT_TRUE(KeyMatches(provider, leaf));
  // A wrong PIN afterwards locks the container again.
  EXPECT_FALSE(SetPin(provider, "wrong"));
  EXPECT_EQ(QuilletKeyContainerGetKey(provider), nullptr);
  EXPECT_EQ(GetLastError(), SCARD_W_WRONG_CHV);
  EXPECT_TRUE(CryptReleaseContext(provider, 0));
  CertFreeCertificateContext(context);
}

TEST_F(KeyContainerTest, LongPinIsTakenWhole) {
  // The signature library cuts passwords to 40 characters; a container whose PIN is
  // longer cannot be opened with the cut one.
  const Credential leaf = pki_.issue(CertOptions());
  const std::string pin = pinOfLength(45);
  PCCERT_CONTEXT context = Stored(leaf, TestStores::AddOptions().withPin(pin));
  HCRYPTPROV provider = Acquire(context);
  EXPECT_FALSE(SetPin(provider, pin.substr(0, 40)));
  EXPECT_TRUE(SetPin(provider, pin));
  EXPECT_TRUE(KeyMatches(provider, leaf));
  CryptReleaseContext(provider, 0);
  CertFreeCertificateContext(context);
}

TEST_F(KeyContainerTest, CertificateWithoutContainerHasNoKey) {
  const Credential leaf = pki_.issue(CertOptions());
  PCCERT_CONTEXT stored = Stored(leaf, TestStores::AddOptions().noKey());
  const Bytes der = leaf.der();
  PCCERT_CONTEXT created =
      CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
  for (PCCERT_CONTEXT context : {stored, created}) {
    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE provider = 0;
    SetLastError(0);
    EXPECT_FALSE(
        CryptAcquireCertificatePrivateKey(context, 0, nullptr, &provider, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), CRYPT_E_NO_KEY_PROPERTY);
    DWORD size = 0;
    EXPECT_FALSE(
        CertGetCertificateContextProperty(context, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size));
    EXPECT_EQ(GetLastError(), CRYPT_E_NOT_FOUND);
    CertFreeCertificateContext(context);
  }
}

TEST_F(KeyContainerTest, BrokenContainerFailsToOpen) {
  const Credential leaf = pki_.issue(CertOptions());
  const std::string stem = stores_.add("My", leaf, TestStores::AddOptions().noKey());
  writeFileOrFail(stores_.storeDir("My") + "/" + stem + ".key", std::string("not a key"));
  PCCERT_CONTEXT context = Stored(leaf, TestStores::AddOptions().noKey());
  HCRYPTPROV_OR_NCRYPT_KEY_HANDLE provider = 0;
  EXPECT_FALSE(CryptAcquireCertificatePrivateKey(context, 0, nullptr, &provider, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), NTE_BAD_KEYSET);
  CertFreeCertificateContext(context);
}

TEST_F(KeyContainerTest, CachedContainerKeepsItsPinWithTheContext) {
  const Credential leaf = pki_.issue(CertOptions());
  PCCERT_CONTEXT context = Stored(leaf, TestStores::AddOptions().withPin("1234"));
  HCRYPTPROV_OR_NCRYPT_KEY_HANDLE first = 0;
  HCRYPTPROV_OR_NCRYPT_KEY_HANDLE second = 0;
  BOOL caller_frees = TRUE;
  ASSERT_TRUE(CryptAcquireCertificatePrivateKey(context, CRYPT_ACQUIRE_CACHE_FLAG, nullptr, &first,
                                                nullptr, &caller_frees));
  EXPECT_FALSE(caller_frees);
  EXPECT_TRUE(SetPin(first, "1234"));
  ASSERT_TRUE(CryptAcquireCertificatePrivateKey(context, CRYPT_ACQUIRE_CACHE_FLAG, nullptr, &second,
                                                nullptr, &caller_frees));
  EXPECT_EQ(first, second);
  EXPECT_TRUE(KeyMatches(second, leaf));
  CertFreeCertificateContext(context);  // releases the cached container with it
}

TEST_F(KeyContainerTest, UnknownHandlesAndParametersAreRefused) {
  const Credential leaf = pki_.issue(CertOptions());
  PCCERT_CONTEXT context = Stored(leaf, TestStores::AddOptions());
  HCRYPTPROV provider = Acquire(context);
  const BYTE pin[] = "1";
  EXPECT_FALSE(CryptSetProvParam(provider, /*PP_KEYSET_SEC_DESCR=*/8, pin, 0));
  EXPECT_EQ(GetLastError(), NTE_BAD_TYPE);
  EXPECT_FALSE(CryptSetProvParam(provider, PP_KEYEXCHANGE_PIN, nullptr, 0));
  EXPECT_EQ(GetLastError(), NTE_BAD_DATA);
  EXPECT_TRUE(CryptReleaseContext(provider, 0));
  // Released: the handle is no longer one.
  EXPECT_FALSE(CryptSetProvParam(provider, PP_KEYEXCHANGE_PIN, pin, 0));
  EXPECT_EQ(GetLastError(), NTE_BAD_UID);
  EXPECT_EQ(QuilletKeyContainerGetKey(provider), nullptr);
  EXPECT_EQ(GetLastError(), NTE_BAD_UID);
  EXPECT_FALSE(CryptReleaseContext(provider, 0));
  EXPECT_EQ(GetLastError(), NTE_BAD_UID);
  CertFreeCertificateContext(context);
}

}  // namespace
}  // namespace quillet::test
