// CertVerifyRevocation on real GOST certificates and CRLs: CRLs from the stores and from
// distribution points served on the loopback interface.
#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/support/http_server.h"
#include "tests/support/test_pki.h"
#include "tests/support/test_stores.h"

namespace quillet::test {
namespace {

std::string AsText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string CrlPem(const Bytes& der) {
  const unsigned char* cursor = der.data();
  X509_CRL* crl = d2i_X509_CRL(nullptr, &cursor, static_cast<long>(der.size()));
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_X509_CRL(bio, crl);
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio, &data);
  std::string pem(data, static_cast<std::size_t>(length));
  BIO_free(bio);
  X509_CRL_free(crl);
  return pem;
}

// A certificate context that frees itself.
class Context {
 public:
  explicit Context(const Credential& credential) {
    const Bytes der = credential.der();
    context_ =
        CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
    EXPECT_NE(context_, nullptr);
  }
  ~Context() { CertFreeCertificateContext(context_); }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;
  PCCERT_CONTEXT get() const { return context_; }

 private:
  PCCERT_CONTEXT context_ = nullptr;
};

class CertVerifyRevocationTest : public testing::Test {
 protected:
  void SetUp() override {
    setenv("no_proxy", "127.0.0.1", 1);  // the loopback server is reached directly
    stores_.add("Root", pki_.root(), TestStores::AddOptions().noKey());
    stores_.add("CA", pki_.intermediate(), TestStores::AddOptions().noKey());
  }

  Credential Leaf(const std::string& crlUrl = "") {
    CertOptions options;
    options.crlUrl = crlUrl;
    return pki_.issue(options);
  }

  // Asks about one certificate the way the certificate check does; fills status_.
  BOOL Verify(const Credential& credential, DWORD flags = CERT_VERIFY_REV_CHAIN_FLAG,
              PCERT_REVOCATION_PARA para = nullptr) {
    Context context(credential);
    PVOID contexts[] = {const_cast<PCERT_CONTEXT>(context.get())};
    status_ = CERT_REVOCATION_STATUS{};
    status_.cbSize = sizeof status_;
    status_.dwReason = 0xBAD;
    return CertVerifyRevocation(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING,
                                CERT_CONTEXT_REVOCATION_TYPE, 1, contexts, flags, para, &status_);
  }

  void ExpectNotChecked(DWORD error) {
    EXPECT_EQ(status_.dwError, error);
    EXPECT_EQ(GetLastError(), error);
    EXPECT_EQ(status_.dwReason, 0u);
    EXPECT_FALSE(status_.fHasFreshnessTime);
  }

  TestPki pki_;
  TestStores stores_;
  CERT_REVOCATION_STATUS status_{};
};

TEST_F(CertVerifyRevocationTest, StoreCrlThatDoesNotListTheCertificateClearsIt) {
  const Credential leaf = Leaf();
  const Credential other = Leaf();
  stores_.addCrl("CA", pki_.makeCrl(pki_.intermediate(), {{other.serial(), 1}}), "issuing");
  SetLastError(1234);
  EXPECT_TRUE(Verify(leaf));
  EXPECT_EQ(status_.dwError, 0u);
  EXPECT_EQ(status_.dwReason, 0u);
  EXPECT_EQ(GetLastError(), 1234u) << "success leaves the last error alone";
  EXPECT_TRUE(status_.fHasFreshnessTime);
  EXPECT_GE(status_.dwFreshnessTime, 3600u);  // the CRL was issued an hour ago
  EXPECT_LT(status_.dwFreshnessTime, 7200u);
}

TEST_F(CertVerifyRevocationTest, ListedCertificateIsRevokedWithTheReasonOfItsEntry) {
  const struct {
    int entry_reason;
    DWORD reported;
  } cases[] = {
      {kNoReason, CRL_REASON_UNSPECIFIED},    {0, CRL_REASON_UNSPECIFIED},
      {1, CRL_REASON_KEY_COMPROMISE},         {2, CRL_REASON_CA_COMPROMISE},
      {3, CRL_REASON_AFFILIATION_CHANGED},    {4, CRL_REASON_SUPERSEDED},
      {5, CRL_REASON_CESSATION_OF_OPERATION}, {6, CRL_REASON_CERTIFICATE_HOLD},
      {8, CRL_REASON_REMOVE_FROM_CRL},        {9, CRL_REASON_PRIVILEGE_WITHDRAWN},
      {10, CRL_REASON_AA_COMPROMISE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "CRL entry reason " << c.entry_reason);
    const Credential leaf = Leaf();
    stores_.addCrl("CA", pki_.makeCrl(pki_.intermediate(), {{leaf.serial(), c.entry_reason}}),
                   "issuing");
    EXPECT_FALSE(Verify(leaf));
    EXPECT_EQ(status_.dwError, CRYPT_E_REVOKED);
    EXPECT_EQ(GetLastError(), CRYPT_E_REVOKED);
    EXPECT_EQ(status_.dwReason, c.reported);
    EXPECT_EQ(status_.dwIndex, 0u);
  }
}

TEST_F(CertVerifyRevocationTest, PemCrlInTheRootStoreCounts) {
  const Credential leaf = Leaf();
  stores_.addCrl("Root", {}, "placeholder");  // an empty .crl file is no CRL and no harm
  writeFileOrFail(stores_.storeDir("Root") + "/issuing.CRL",
                  CrlPem(pki_.makeCrl(pki_.intermediate(), {{leaf.serial(), 4}})));
  EXPECT_FALSE(Verify(leaf));
  EXPECT_EQ(status_.dwReason, static_cast<DWORD>(CRL_REASON_SUPERSEDED));
}

// Each CRL here lists the certificate, so a CRL wrongly taken as usable shows as revoked.
TEST_F(CertVerifyRevocationTest, CrlsThatCannotBeTrustedAreNoCrlAtAll) {
  TestPki stranger;  // same issuer names, other keys
  CertOptions no_crl_sign;
  no_crl_sign.ca = true;
  no_crl_sign.subject = {{"CN", "Quillet Test CA without CRL signing"}};
  no_crl_sign.keyUsage = kDigitalSignature | kKeyCertSign;
  const Credential limited_ca = pki_.issue(no_crl_sign, pki_.root());
  stores_.add("CA", limited_ca, TestStores::AddOptions().noKey());

  const struct {
    const char* what;
    const Credential* issuer;
    std::function<Bytes(long serial)> crl;
  } cases[] = {
      {"expired", &pki_.intermediate(),
       [&](long serial) {
         return pki_.makeCrl(pki_.intermediate(), {{serial, 1}}, -2 * kDay, -kDay);
       }},
      {"not yet issued", &pki_.intermediate(),
       [&](long serial) {
         return pki_.makeCrl(pki_.intermediate(), {{serial, 1}}, 3600, 2 * kDay);
       }},
      {"signed by a key of the same name", &pki_.intermediate(),
       [&](long serial) {
         return stranger.makeCrl(stranger.intermediate(), {{serial, 1}});
       }},
      {"issued by another CA", &pki_.intermediate(),
       [&](long serial) {
         return pki_.makeCrl(pki_.root(), {{serial, 1}});
       }},
      {"issuer may not sign CRLs", &limited_ca,
       [&](long serial) {
         return pki_.makeCrl(limited_ca, {{serial, 1}});
       }},
      {"not a CRL", &pki_.intermediate(),
       [&](long) { return Bytes{'n', 'o', 't', ' ', 'a', ' ', 'c', 'r', 'l'}; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Credential leaf = pki_.issue(CertOptions(), *c.issuer);
    stores_.addCrl("CA", c.crl(leaf.serial()), "only");
    EXPECT_FALSE(Verify(leaf));
    ExpectNotChecked(CRYPT_E_NO_REVOCATION_CHECK);
  }
}

TEST_F(CertVerifyRevocationTest, WithoutCrlOrIssuerRevocationIsNotChecked) {
  const Credential leaf = Leaf();
  EXPECT_FALSE(Verify(leaf));
  ExpectNotChecked(CRYPT_E_NO_REVOCATION_CHECK);

  // A valid CRL is of no use while the issuer is nowhere to be found.
  const Credential orphan = pki_.issue(CertOptions(), pki_.caWithKey(KeyType::kGost2001));
  stores_.addCrl("CA", pki_.makeCrl(pki_.caWithKey(KeyType::kGost2001), {}), "gost2001");
  EXPECT_FALSE(Verify(orphan));
  ExpectNotChecked(CRYPT_E_NO_REVOCATION_CHECK);

  // Named by the caller, the issuer is found and its CRL counts.
  Context issuer(pki_.caWithKey(KeyType::kGost2001));
  CERT_REVOCATION_PARA para{};
  para.cbSize = sizeof para;
  para.pIssuerCert = issuer.get();
  EXPECT_TRUE(Verify(orphan, CERT_VERIFY_REV_CHAIN_FLAG, &para));
}

TEST_F(CertVerifyRevocationTest, DistributionPointServesTheCrl) {
  LoopbackHttpServer server;
  const Credential good = Leaf(server.url("/issuing.crl"));
  const Credential revoked = Leaf(server.url("/issuing.crl"));
  const Bytes crl = pki_.makeCrl(pki_.intermediate(), {{revoked.serial(), 6}});
  server.serve("/issuing.crl", AsText(crl));

  EXPECT_TRUE(Verify(good));
  EXPECT_EQ(server.requestsFor("/issuing.crl"), 1);
  EXPECT_FALSE(Verify(revoked));
  EXPECT_EQ(status_.dwError, CRYPT_E_REVOKED);
  EXPECT_EQ(status_.dwReason, static_cast<DWORD>(CRL_REASON_CERTIFICATE_HOLD));

  // A PEM body is read too.
  server.serve("/issuing.crl", CrlPem(crl));
  EXPECT_FALSE(Verify(revoked));
  EXPECT_EQ(status_.dwReason, static_cast<DWORD>(CRL_REASON_CERTIFICATE_HOLD));
}

TEST_F(CertVerifyRevocationTest, UsableStoreCrlSparesTheFetchAndAStaleOneDoesNot) {
  LoopbackHttpServer server;
  const Credential leaf = Leaf(server.url("/issuing.crl"));
  server.serve("/issuing.crl", AsText(pki_.makeCrl(pki_.intermediate(), {{leaf.serial(), 1}})));

  stores_.addCrl("CA", pki_.makeCrl(pki_.intermediate(), {}), "issuing");
  EXPECT_TRUE(Verify(leaf));
  EXPECT_EQ(server.requestsFor("/issuing.crl"), 0);

  stores_.addCrl("CA", pki_.makeCrl(pki_.intermediate(), {}, -2 * kDay, -kDay), "issuing");
  EXPECT_FALSE(Verify(leaf));
  EXPECT_EQ(status_.dwReason, static_cast<DWORD>(CRL_REASON_KEY_COMPROMISE));
  EXPECT_EQ(server.requestsFor("/issuing.crl"), 1);

  EXPECT_FALSE(Verify(leaf, CERT_VERIFY_CACHE_ONLY_BASED_REVOCATION));
  ExpectNotChecked(CRYPT_E_NO_REVOCATION_CHECK);
  EXPECT_EQ(server.requestsFor("/issuing.crl"), 1) << "cache only: no fetch";
}

TEST_F(CertVerifyRevocationTest, DistributionPointWithoutAUsableCrl) {
  LoopbackHttpServer server;
  RefusingPort closed;
  server.serve("/expired.crl", AsText(pki_.makeCrl(pki_.intermediate(), {}, -2 * kDay, -kDay)));
  const struct {
    std::string url;
    DWORD error;
  } cases[] = {
      {closed.url("/issuing.crl"), CRYPT_E_REVOCATION_OFFLINE},
      {server.url("/missing.crl"), CRYPT_E_REVOCATION_OFFLINE},
      {server.url("/expired.crl"), CRYPT_E_NO_REVOCATION_CHECK},
      {"ldap://127.0.0.1/cn=issuing", CRYPT_E_NO_REVOCATION_CHECK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_FALSE(Verify(Leaf(c.url)));
    ExpectNotChecked(c.error);
  }
}

TEST_F(CertVerifyRevocationTest, ChecksEveryContextAndStopsAtTheFirstFailure) {
  const Credential good = Leaf();
  const Credential revoked = Leaf();
  stores_.addCrl("CA", pki_.makeCrl(pki_.intermediate(), {{revoked.serial(), 2}}), "issuing");
  stores_.addCrl("Root", pki_.makeCrl(pki_.root(), {}), "root");
  Context first(good);
  Context second(revoked);
  Context issuer(pki_.intermediate());
  CERT_REVOCATION_STATUS status{};
  status.cbSize = sizeof status;

  PVOID two[] = {const_cast<PCERT_CONTEXT>(first.get()), const_cast<PCERT_CONTEXT>(second.get())};
  EXPECT_FALSE(CertVerifyRevocation(X509_ASN_ENCODING, CERT_CONTEXT_REVOCATION_TYPE, 2, two, 0,
                                    nullptr, &status));
  EXPECT_EQ(status.dwIndex, 1u);
  EXPECT_EQ(status.dwReason, static_cast<DWORD>(CRL_REASON_CA_COMPROMISE));

  // A chain: the good leaf by the intermediate's CRL, the intermediate by the root's.
  PVOID chain[] = {const_cast<PCERT_CONTEXT>(first.get()), const_cast<PCERT_CONTEXT>(issuer.get())};
  EXPECT_TRUE(CertVerifyRevocation(X509_ASN_ENCODING, CERT_CONTEXT_REVOCATION_TYPE, 2, chain,
                                   CERT_VERIFY_REV_CHAIN_FLAG, nullptr, &status));
}

TEST_F(CertVerifyRevocationTest, RefusesBadArguments) {
  Context leaf(Leaf());
  PVOID contexts[] = {const_cast<PCERT_CONTEXT>(leaf.get())};
  CERT_REVOCATION_STATUS status{};
  status.cbSize = sizeof status;
  const struct {
    const char* what;
    DWORD encoding;
    DWORD type;
    DWORD count;
    DWORD size;
  } cases[] = {
      {"revocation type", X509_ASN_ENCODING, 2, 1, sizeof status},
      {"no contexts", X509_ASN_ENCODING, CERT_CONTEXT_REVOCATION_TYPE, 0, sizeof status},
      {"encoding", PKCS_7_ASN_ENCODING, CERT_CONTEXT_REVOCATION_TYPE, 1, sizeof status},
      {"status size", X509_ASN_ENCODING, CERT_CONTEXT_REVOCATION_TYPE, 1, 3 * sizeof(DWORD)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    status.cbSize = c.size;
    SetLastError(0);
    EXPECT_FALSE(CertVerifyRevocation(c.encoding, c.type, c.count, contexts, 0, nullptr, &status));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(E_INVALIDARG));
  }
  SetLastError(0);
  EXPECT_FALSE(CertVerifyRevocation(X509_ASN_ENCODING, CERT_CONTEXT_REVOCATION_TYPE, 1, contexts, 0,
                                    nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(E_INVALIDARG));
}

}  // namespace
}  // namespace quillet::test
