// CertGetNameStringW: the friendly display name and its fallbacks, sizes and truncation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/support/test_stores.h"

namespace quillet::test {
namespace {

std::wstring NameOf(PCCERT_CONTEXT context, DWORD type, DWORD flags = 0, void* para = nullptr) {
  const DWORD size = CertGetNameStringW(context, type, flags, para, nullptr, 0);
  std::vector<wchar_t> buffer(size, L'#');
  EXPECT_EQ(CertGetNameStringW(context, type, flags, para, buffer.data(), size), size);
  EXPECT_EQ(buffer[size - 1], L'\0');
  return std::wstring(buffer.data());
}

PCCERT_CONTEXT Create(const Credential& credential) {
  const Bytes der = credential.der();
  return CertCreateCertificateContext(X509_ASN_ENCODING, der.data(),
                                      static_cast<DWORD>(der.size()));
}

TEST(CertName, FriendlyDisplayFallsBackThroughTheSubject) {
  TestPki pki;
  using Subject = std::vector<std::pair<std::string, std::string>>;
  const struct {
    Subject subject;
    std::string altEmail;
    std::wstring expected;
  } cases[] = {
      {{{"C", "RU"}, {"O", "ООО Ромашка"}, {"CN", "Иванов Иван"}}, "", L"Иванов Иван"},
      {{{"CN", "First"}, {"CN", "Second"}}, "", L"First"},
      {{{"C", "RU"}, {"O", "Org"}, {"OU", "Unit"}}, "", L"Unit"},
      {{{"C", "RU"}, {"O", "Org"}, {"emailAddress", "a@example.ru"}}, "", L"Org"},
      {{{"C", "RU"}, {"emailAddress", "a@example.ru"}}, "b@example.ru", L"a@example.ru"},
      {{{"C", "RU"}, {"L", "Москва"}}, "b@example.ru", L"b@example.ru"},
      {{{"L", "Москва"}, {"C", "RU"}}, "", L"Москва"},
      {{}, "", L""},
  };
  for (const auto& row : cases) {
    CertOptions options;
    options.subject = row.subject;
    options.altEmail = row.altEmail;
    PCCERT_CONTEXT context = Create(pki.issue(options));
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(NameOf(context, CERT_NAME_FRIENDLY_DISPLAY_TYPE), row.expected);
    EXPECT_EQ(NameOf(context, CERT_NAME_SIMPLE_DISPLAY_TYPE), row.expected);
    CertFreeCertificateContext(context);
  }
}

TEST(CertName, FriendlyNamePropertyComesFirstForTheSubjectOnly) {
  TestStores stores;
  TestPki pki;
  stores.add("My", pki.issue(CertOptions()),
             TestStores::AddOptions().withFriendlyName("Моя подпись"));
  HCERTSTORE store =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                    CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, L"My");
  PCCERT_CONTEXT context = CertEnumCertificatesInStore(store, nullptr);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(NameOf(context, CERT_NAME_FRIENDLY_DISPLAY_TYPE), L"Моя подпись");
  EXPECT_EQ(NameOf(context, CERT_NAME_SIMPLE_DISPLAY_TYPE), L"Quillet Test Signer");
  EXPECT_EQ(NameOf(context, CERT_NAME_FRIENDLY_DISPLAY_TYPE, CERT_NAME_ISSUER_FLAG),
            L"Quillet Test Issuing CA");
  char oid[] = szOID_ORGANIZATION_NAME;
  EXPECT_EQ(NameOf(context, CERT_NAME_ATTR_TYPE, CERT_NAME_ISSUER_FLAG, oid), L"Quillet Test");
  EXPECT_EQ(NameOf(context, CERT_NAME_ATTR_TYPE, 0, oid), L"");
  CertFreeCertificateContext(context);
  CertCloseStore(store, 0);
}

TEST(CertName, SizeCountsTheNulAndShortBuffersAreCut) {
  TestPki pki;
  CertOptions options;
  options.subject = {{"CN", "Петров"}};
  PCCERT_CONTEXT context = Create(pki.issue(options));
  EXPECT_EQ(CertGetNameStringW(context, CERT_NAME_FRIENDLY_DISPLAY_TYPE, 0, nullptr, nullptr, 0),
            7u);
  wchar_t buffer[8] = {L'#', L'#', L'#', L'#', L'#', L'#', L'#', L'#'};
  EXPECT_EQ(CertGetNameStringW(context, CERT_NAME_FRIENDLY_DISPLAY_TYPE, 0, nullptr, buffer, 0),
            7u);
  EXPECT_EQ(buffer[0], L'#');  // size 0 writes nothing
  EXPECT_EQ(CertGetNameStringW(context, CERT_NAME_FRIENDLY_DISPLAY_TYPE, 0, nullptr, buffer, 4),
            4u);
  EXPECT_EQ(std::wstring(buffer), L"Пет");
  // No name at all: 1 and an empty string.
  options.subject = {};
  PCCERT_CONTEXT nameless = Create(pki.issue(options));
  EXPECT_EQ(CertGetNameStringW(nameless, CERT_NAME_FRIENDLY_DISPLAY_TYPE, 0, nullptr, buffer, 8),
            1u);
  EXPECT_EQ(buffer[0], L'\0');
  CertFreeCertificateContext(nameless);
  CertFreeCertificateContext(context);
}

TEST(CertName, EmailPrefersTheAlternativeName) {
  TestPki pki;
  CertOptions options;
  options.subject = {{"CN", "Signer"}, {"emailAddress", "subject@example.ru"}};
  PCCERT_CONTEXT with_attribute = Create(pki.issue(options));
  EXPECT_EQ(NameOf(with_attribute, CERT_NAME_EMAIL_TYPE), L"subject@example.ru");
  options.altEmail = "alt@example.ru";
  PCCERT_CONTEXT with_both = Create(pki.issue(options));
  EXPECT_EQ(NameOf(with_both, CERT_NAME_EMAIL_TYPE), L"alt@example.ru");
  CertFreeCertificateContext(with_attribute);
  CertFreeCertificateContext(with_both);
}

}  // namespace
}  // namespace quillet::test
