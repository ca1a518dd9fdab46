// Certificate contexts: what CERT_INFO holds, properties, and creation from DER.
#include <gtest/gtest.h>
#include <openssl/x509.h>

#include <cstring>

#include "platform/win32.h"
#include "tests/support/test_stores.h"

namespace quillet::test {
namespace {

PCCERT_CONTEXT Create(const Bytes& der) {
  return CertCreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, der.data(),
                                      static_cast<DWORD>(der.size()));
}

Bytes BlobBytes(const CRYPT_INTEGER_BLOB& blob) {
  return Bytes(blob.pbData, blob.pbData + blob.cbData);
}

Bytes NameDer(const X509_NAME* name) {
  unsigned char* out = nullptr;
  const int length = i2d_X509_NAME(name, &out);
  Bytes der(out, out + length);
  OPENSSL_free(out);
  return der;
}

// Unix time of a FILETIME.
long long Unix(const FILETIME& time) {
  const unsigned long long ticks =
      (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return static_cast<long long>(ticks / 10000000ULL) - 11644473600LL;
}

TEST(CertContext, InfoCarriesAlgorithmsOfEveryKeyType) {
  TestPki pki;
  const struct {
    KeyType key;
    const char* key_oid;
  } cases[] = {{KeyType::kGost2001, "1.2.643.2.2.19"},
               {KeyType::kGost2012_256, "1.2.643.7.1.1.1.1"},
               {KeyType::kGost2012_512, "1.2.643.7.1.1.1.2"},
               {KeyType::kRsa, "1.2.840.113549.1.1.1"}};
  for (const auto& row : cases) {
    CertOptions options;
    options.keyType = row.key;
    // Issued by a 512-bit CA: the signature algorithm is the issuer's, not the key's.
    const Credential leaf = pki.issue(options, pki.caWithKey(KeyType::kGost2012_512));
    PCCERT_CONTEXT context = Create(leaf.der());
    ASSERT_NE(context, nullptr);
    EXPECT_STREQ(context->pCertInfo->SubjectPublicKeyInfo.Algorithm.pszObjId, row.key_oid);
    EXPECT_STREQ(context->pCertInfo->SignatureAlgorithm.pszObjId, "1.2.643.7.1.1.3.3");
    EXPECT_GT(context->pCertInfo->SubjectPublicKeyInfo.PublicKey.cbData, 0u);
    CertFreeCertificateContext(context);
  }
}

TEST(CertContext, InfoCarriesNamesSerialValidityAndExtensions) {
  TestPki pki;
  CertOptions options;
  options.serial = 0x0102A3;
  options.notBefore = -1000;
  options.notAfter = 5000;
  options.crlUrl = "http://127.0.0.1:1/ca.crl";
  const Credential leaf = pki.issue(options);
  PCCERT_CONTEXT context = Create(leaf.der());
  ASSERT_NE(context, nullptr);
  const CERT_INFO& info = *context->pCertInfo;
  EXPECT_EQ(info.dwVersion, static_cast<DWORD>(CERT_V3));
  EXPECT_EQ(BlobBytes(info.SerialNumber), (Bytes{0xA3, 0x02, 0x01}));  // little-endian
  EXPECT_EQ(BlobBytes(info.Subject), NameDer(X509_get_subject_name(leaf.cert.get())));
  EXPECT_EQ(BlobBytes(info.Issuer), NameDer(X509_get_subject_name(pki.intermediate().cert.get())));
  const long long now = static_cast<long long>(time(nullptr));
  EXPECT_NEAR(static_cast<double>(Unix(info.NotBefore)), static_cast<double>(now - 1000), 5.0);
  EXPECT_NEAR(static_cast<double>(Unix(info.NotAfter)), static_cast<double>(now + 5000), 5.0);
  // key usage, subject and authority key ids, CRL distribution point
  ASSERT_EQ(info.cExtension, 4u);
  EXPECT_STREQ(info.rgExtension[0].pszObjId, szOID_KEY_USAGE);
  EXPECT_TRUE(info.rgExtension[0].fCritical);
  EXPECT_EQ(BlobBytes(info.rgExtension[0].Value), (Bytes{0x03, 0x02, 0x06, 0xC0}));
  EXPECT_STREQ(info.rgExtension[3].pszObjId, szOID_CRL_DIST_POINTS);
  EXPECT_FALSE(info.rgExtension[3].fCritical);
  EXPECT_EQ(Bytes(context->pbCertEncoded, context->pbCertEncoded + context->cbCertEncoded),
            leaf.der());
  EXPECT_EQ(context->hCertStore, nullptr);
  CertFreeCertificateContext(context);
}

TEST(CertContext, CreationRefusesWhatIsNotOneCertificate) {
  TestPki pki;
  Bytes der = pki.issue(CertOptions()).der();
  Bytes cut(der.begin(), der.end() - 10);
  Bytes trailing = der;
  trailing.push_back(0);
  Bytes garbage = {0x30, 0x03, 0x02, 0x01, 0x05};
  for (const Bytes* bytes : {&cut, &trailing, &garbage}) {
    SetLastError(0);
    EXPECT_EQ(Create(*bytes), nullptr);
    EXPECT_EQ(GetLastError(), CRYPT_E_ASN1_BADTAG);
  }
  EXPECT_EQ(
      CertCreateCertificateContext(PKCS_7_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size())),
      nullptr);
  EXPECT_EQ(GetLastError(), E_INVALIDARG);
  EXPECT_EQ(Create(Bytes()), nullptr);
  EXPECT_EQ(GetLastError(), E_INVALIDARG);
}

TEST(CertContext, PropertySizesFollowTheWindowsRules) {
  TestPki pki;
  const Credential leaf = pki.issue(CertOptions());
  PCCERT_CONTEXT context = Create(leaf.der());
  DWORD size = 0;
  EXPECT_TRUE(CertGetCertificateContextProperty(context, CERT_SHA1_HASH_PROP_ID, nullptr, &size));
  EXPECT_EQ(size, 20u);
  BYTE hash[32] = {};
  size = 19;
  SetLastError(0);
  EXPECT_FALSE(CertGetCertificateContextProperty(context, CERT_SHA1_HASH_PROP_ID, hash, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
  EXPECT_EQ(size, 20u);
  size = sizeof(hash);
  EXPECT_TRUE(CertGetCertificateContextProperty(context, CERT_SHA1_HASH_PROP_ID, hash, &size));
  EXPECT_EQ(size, 20u);
  EXPECT_EQ(Bytes(hash, hash + 20), leaf.sha1());
  // No friendly name on a context made from DER; unknown properties are absent.
  for (DWORD property : {static_cast<DWORD>(CERT_FRIENDLY_NAME_PROP_ID), 999u}) {
    EXPECT_FALSE(CertGetCertificateContextProperty(context, property, nullptr, &size));
    EXPECT_EQ(GetLastError(), CRYPT_E_NOT_FOUND);
  }
  CertFreeCertificateContext(context);
}

TEST(CertContext, StoreGivesFriendlyNameAndKeyContainer) {
  TestStores stores;
  TestPki pki;
  const Credential leaf = pki.issue(CertOptions());
  const std::string stem =
      stores.add("My", leaf, TestStores::AddOptions().withFriendlyName("Подпись для тестов"));
  HCERTSTORE store =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                    CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, L"My");
  PCCERT_CONTEXT context = CertEnumCertificatesInStore(store, nullptr);
  ASSERT_NE(context, nullptr);
  DWORD size = 0;
  ASSERT_TRUE(
      CertGetCertificateContextProperty(context, CERT_FRIENDLY_NAME_PROP_ID, nullptr, &size));
  std::vector<wchar_t> name(size / sizeof(wchar_t));
  ASSERT_TRUE(
      CertGetCertificateContextProperty(context, CERT_FRIENDLY_NAME_PROP_ID, name.data(), &size));
  EXPECT_EQ(std::wstring(name.data()), L"Подпись для тестов");

  ASSERT_TRUE(
      CertGetCertificateContextProperty(context, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size));
  std::vector<BYTE> buffer(size);
  size = static_cast<DWORD>(buffer.size() - 1);
  EXPECT_FALSE(
      CertGetCertificateContextProperty(context, CERT_KEY_PROV_INFO_PROP_ID, buffer.data(), &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
  ASSERT_TRUE(
      CertGetCertificateContextProperty(context, CERT_KEY_PROV_INFO_PROP_ID, buffer.data(), &size));
  const auto* info = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(buffer.data());
  const std::string expected = stores.storeDir("My") + "/" + stem + ".key";
  EXPECT_EQ(std::wstring(info->pwszContainerName), std::wstring(expected.begin(), expected.end()));
  EXPECT_STREQ(info->pwszProvName, QUILLET_KEY_PROVIDER_NAME_W);
  EXPECT_EQ(info->dwKeySpec, static_cast<DWORD>(AT_KEYEXCHANGE));
  CertFreeCertificateContext(context);
  CertCloseStore(store, 0);
}

TEST(CertContext, DuplicateKeepsACreatedContextAlive) {
  TestPki pki;
  const Bytes der = pki.issue(CertOptions()).der();
  PCCERT_CONTEXT context = Create(der);
  PCCERT_CONTEXT copy = CertDuplicateCertificateContext(context);
  EXPECT_EQ(copy, context);
  EXPECT_TRUE(CertFreeCertificateContext(context));
  EXPECT_EQ(std::memcmp(copy->pbCertEncoded, der.data(), der.size()), 0);
  EXPECT_TRUE(CertFreeCertificateContext(copy));
  EXPECT_EQ(CertDuplicateCertificateContext(nullptr), nullptr);
  EXPECT_TRUE(CertFreeCertificateContext(nullptr));
}

}  // namespace
}  // namespace quillet::test
