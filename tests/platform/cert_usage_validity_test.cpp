// CertGetIntendedKeyUsage and CertVerifyTimeValidity.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32.h"
#include "tests/support/test_pki.h"

namespace quillet::test {
namespace {

struct Context {
  explicit Context(const Credential& credential) {
    const Bytes der = credential.der();
    context =
        CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
  }
  ~Context() { CertFreeCertificateContext(context); }
  PCCERT_CONTEXT context = nullptr;
};

TEST(KeyUsage, BytesOfTheExtensionOrFalseWithoutIt) {
  TestPki pki;
  const struct {
    int usage;
    BOOL result;
    BYTE first;
  } cases[] = {
      {kSigningUsage, TRUE, 0xC0},   {kDigitalSignature, TRUE, 0x80},
      {kNonRepudiation, TRUE, 0x40}, {kSigningUsage | kKeyEncipherment, TRUE, 0xE0},
      {kNoKeyUsage, FALSE, 0x00},
  };
  for (const auto& row : cases) {
    CertOptions options;
    options.keyUsage = row.usage;
    Context leaf(pki.issue(options));
    BYTE usage[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    SetLastError(1234);
    EXPECT_EQ(CertGetIntendedKeyUsage(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING,
                                      leaf.context->pCertInfo, usage, sizeof(usage)),
              row.result)
        << row.usage;
    EXPECT_EQ(usage[0], row.first) << row.usage;
    EXPECT_EQ(usage[1] | usage[2] | usage[3], 0) << "rest of the buffer zeroed";
    if (!row.result) {
      EXPECT_EQ(GetLastError(), 0u);
    }
  }
}

// A CERT_INFO with just one key-usage extension of the given DER value.
BOOL UsageOf(Bytes value, BYTE* out, DWORD size) {
  CERT_EXTENSION extension{
      const_cast<char*>(szOID_KEY_USAGE), TRUE, {static_cast<DWORD>(value.size()), value.data()}};
  CERT_INFO info{};
  info.cExtension = 1;
  info.rgExtension = &extension;
  return CertGetIntendedKeyUsage(X509_ASN_ENCODING, &info, out, size);
}

TEST(KeyUsage, BitStringIsCopiedAsEncoded) {
  BYTE usage[2] = {};
  // Two bytes: decipherOnly lands in byte 1.
  EXPECT_TRUE(UsageOf({0x03, 0x03, 0x07, 0xC0, 0x80}, usage, 2));
  EXPECT_EQ(usage[0], 0xC0);
  EXPECT_EQ(usage[1], 0x80);
  // Unused bits are not masked.
  EXPECT_TRUE(UsageOf({0x03, 0x02, 0x06, 0xC3}, usage, 2));
  EXPECT_EQ(usage[0], 0xC3);
  EXPECT_EQ(usage[1], 0x00);
  // A one-byte buffer takes the first byte only.
  BYTE one = 0;
  EXPECT_TRUE(UsageOf({0x03, 0x03, 0x07, 0x80, 0x80}, &one, 1));
  EXPECT_EQ(one, 0x80);
}

TEST(KeyUsage, MalformedExtensionFails) {
  const struct {
    Bytes value;
    DWORD error;
  } cases[] = {
      {{0x04, 0x02, 0x06, 0xC0}, CRYPT_E_ASN1_BADTAG},
      {{0x03, 0x05, 0x06, 0xC0}, CRYPT_E_ASN1_EOD},
      {{0x03}, CRYPT_E_ASN1_EOD},
      {{0x03, 0x02, 0x09, 0xC0}, CRYPT_E_ASN1_BADTAG},
  };
  for (const auto& row : cases) {
    BYTE usage = 0xFF;
    EXPECT_FALSE(UsageOf(row.value, &usage, 1));
    EXPECT_EQ(GetLastError(), row.error);
    EXPECT_EQ(usage, 0);
  }
}

FILETIME Shifted(FILETIME time, long long ticks) {
  unsigned long long value =
      (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  value += static_cast<unsigned long long>(ticks);
  return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

TEST(TimeValidity, BoundsAreInclusive) {
  TestPki pki;
  Context leaf(pki.issue(CertOptions()));
  CERT_INFO* info = leaf.context->pCertInfo;
  const struct {
    FILETIME time;
    LONG expected;
  } cases[] = {
      {Shifted(info->NotBefore, -1), -1}, {info->NotBefore, 0}, {Shifted(info->NotBefore, 1), 0},
      {Shifted(info->NotAfter, -1), 0},   {info->NotAfter, 0},  {Shifted(info->NotAfter, 1), 1},
  };
  for (const auto& row : cases) {
    FILETIME time = row.time;
    EXPECT_EQ(CertVerifyTimeValidity(&time, info), row.expected);
  }
}

TEST(TimeValidity, NoTimeMeansNow) {
  TestPki pki;
  CertOptions expired;
  expired.notBefore = -10 * kDay;
  expired.notAfter = -kDay;
  CertOptions future;
  future.notBefore = kDay;
  future.notAfter = 10 * kDay;
  Context valid(pki.issue(CertOptions()));
  Context old(pki.issue(expired));
  Context early(pki.issue(future));
  EXPECT_EQ(CertVerifyTimeValidity(nullptr, valid.context->pCertInfo), 0);
  EXPECT_EQ(CertVerifyTimeValidity(nullptr, old.context->pCertInfo), 1);
  EXPECT_EQ(CertVerifyTimeValidity(nullptr, early.context->pCertInfo), -1);
}

}  // namespace
}  // namespace quillet::test
