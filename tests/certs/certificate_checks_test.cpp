// The certificate checks on real GOST certificates: codes and trace lines of the static stage,
// the revocation stage with CRLs from the stores and from a loopback distribution point, and
// the selection dialog's filter.
#include "host/certs/certificate_checks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/result_codes.h"
#include "tests/certs/trace_log.h"
#include "tests/support/http_server.h"
#include "tests/support/test_pki.h"
#include "tests/support/test_stores.h"

namespace quillet::test {

using namespace quillet::host;
namespace {

using Lines = std::vector<std::string>;

const Lines kQueryReturned = {"CertVerifyRevocation", "CertVerifyRevocation is ok"};

// A certificate context that frees itself.
class Context {
 public:
  explicit Context(const Bytes& der) {
    context_ =
        CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
    EXPECT_NE(context_, nullptr);
  }
  explicit Context(const Credential& credential) : Context(credential.der()) {}
  ~Context() { CertFreeCertificateContext(context_); }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;
  PCCERT_CONTEXT get() const { return context_; }

 private:
  PCCERT_CONTEXT context_ = nullptr;
};

CertOptions WithUsage(int usage) {
  CertOptions options;
  options.keyUsage = usage;
  return options;
}

CertOptions WithValidity(long notBefore, long notAfter) {
  CertOptions options;
  options.notBefore = notBefore;
  options.notAfter = notAfter;
  return options;
}

class CertificateChecksTest : public testing::Test {
 protected:
  void SetUp() override {
    setenv("no_proxy", "127.0.0.1", 1);  // the loopback server is reached directly
    stores_.add("Root", pki_.root(), TestStores::AddOptions().noKey());
    stores_.add("CA", pki_.intermediate(), TestStores::AddOptions().noKey());
  }

  // Puts a CRL of the intermediate revoking the entries into the CA store.
  void PublishCrl(const std::vector<Revocation>& revoked) {
    stores_.addCrl("CA", pki_.makeCrl(pki_.intermediate(), revoked), "issuing");
  }

  // Runs the full check and returns its code; the trace it wrote is in traced_.
  int Check(const Credential& credential) {
    Context context(credential);
    log_.Clear();
    const int code = CheckIfCertificateValid(context.get());
    traced_ = log_.Lines();
    return code;
  }

  TestPki pki_;
  TestStores stores_;
  TraceLog log_{stores_.home()};
  Lines traced_;
};

TEST_F(CertificateChecksTest, GostCertificatesTheCrlDoesNotListPass) {
  const Credential& ca2001 = pki_.caWithKey(KeyType::kGost2001);
  stores_.add("CA", ca2001, TestStores::AddOptions().noKey());
  stores_.addCrl("CA", pki_.makeCrl(ca2001, {}), "gost2001");
  PublishCrl({{0x7777, 1}});
  CertOptions gost2001_key;
  gost2001_key.keyType = KeyType::kGost2001;
  CertOptions gost2012_512_key;  // the key's algorithm is not what is checked
  gost2012_512_key.keyType = KeyType::kGost2012_512;

  const struct {
    const char* what;
    Credential credential;
  } cases[] = {
      {"GOST R 34.10-2012 256 issuer", pki_.issue(CertOptions())},
      {"GOST R 34.10-2001 issuer", pki_.issue(CertOptions(), ca2001)},
      {"GOST R 34.10-2001 key", pki_.issue(gost2001_key)},
      {"GOST R 34.10-2012 512 key", pki_.issue(gost2012_512_key)},
      {"key usage 0xC0 and key encipherment",
       pki_.issue(WithUsage(kSigningUsage | kKeyEncipherment))},
      {"every key usage bit", pki_.issue(WithUsage(0xFF))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Check(c.credential), Ok);
    EXPECT_EQ(traced_, kQueryReturned);
  }
}

TEST_F(CertificateChecksTest, StaticStageFailuresStopBeforeTheRevocationQuery) {
  const Credential expired_and_revoked = pki_.issue(WithValidity(-10 * kDay, -kDay));
  PublishCrl({{expired_and_revoked.serial(), 1}});
  CertOptions expired_without_usage = WithValidity(-10 * kDay, -kDay);
  expired_without_usage.keyUsage = kDigitalSignature;
  const struct {
    const char* what;
    Credential credential;
    int code;
  } cases[] = {
      {"RSA issuer", pki_.issue(CertOptions(), pki_.caWithKey(KeyType::kRsa)), NotGostCertificate},
      {"GOST R 34.10-2012 512 issuer",
       pki_.issue(CertOptions(), pki_.caWithKey(KeyType::kGost2012_512)), NotGostCertificate},
      {"digital signature only", pki_.issue(WithUsage(kDigitalSignature)), NotSigningCertificate},
      {"non-repudiation only", pki_.issue(WithUsage(kNonRepudiation)), NotSigningCertificate},
      {"no signing bits", pki_.issue(WithUsage(kKeyEncipherment | kCrlSign)),
       NotSigningCertificate},
      {"empty key usage", pki_.issue(WithUsage(0)), NotSigningCertificate},
      {"no key-usage extension", pki_.issue(WithUsage(kNoKeyUsage)), NotSigningCertificate},
      {"key usage before validity", pki_.issue(expired_without_usage), NotSigningCertificate},
      {"expired and revoked", expired_and_revoked, CertificateExpired},
      {"not yet valid", pki_.issue(WithValidity(kDay, 10 * kDay)), CertificateNotYetValid},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Check(c.credential), c.code);
    EXPECT_EQ(traced_, Lines()) << "no revocation query, no trace line";
  }
}

TEST_F(CertificateChecksTest, GostR341094SignatureAlgorithmIsAccepted) {
  // The 2001 issuer's signature algorithm renamed to GOST R 34.10-94 (same encoded length):
  // the static stage accepts it; the broken signature leaves no issuer for revocation.
  const Credential leaf = pki_.issue(CertOptions(), pki_.caWithKey(KeyType::kGost2001));
  Context context(TestPki::patchOid(leaf.der(), "1.2.643.2.2.3", "1.2.643.2.2.4"));
  ASSERT_STREQ(context.get()->pCertInfo->SignatureAlgorithm.pszObjId, "1.2.643.2.2.4");
  EXPECT_EQ(CheckIfCertificateSuitable(context.get()), Ok);
  EXPECT_EQ(CheckIfCertificateValid(context.get()), RevocationCheckFailed);
}

TEST_F(CertificateChecksTest, RevokedCertificatesGetTheCodeOfTheirReason) {
  const struct {
    int reason;
    int code;
  } cases[] = {
      {kNoReason, RevokedUnspecified}, {0, RevokedUnspecified},        {1, RevokedKeyCompromise},
      {2, RevokedCaCompromise},        {3, RevokedAffiliationChanged}, {4, RevokedSuperseded},
      {5, RevokedCessation},           {6, CertificateOnHold},         {8, RevokedUnspecified},
      {9, RevokedUnspecified},         {10, RevokedUnspecified},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "CRL reason " << c.reason);
    const Credential leaf = pki_.issue(CertOptions());
    PublishCrl({{leaf.serial(), c.reason}});
    EXPECT_EQ(Check(leaf), c.code);
    EXPECT_EQ(traced_, kQueryReturned) << "the query completed, whatever its verdict";
  }
}

TEST_F(CertificateChecksTest, RevocationThatCannotBeCheckedGives11) {
  RefusingPort closed;
  const Credential no_crl = pki_.issue(CertOptions());
  CertOptions unreachable;
  unreachable.crlUrl = closed.url("/issuing.crl");
  EXPECT_EQ(Check(no_crl), RevocationCheckFailed);
  EXPECT_EQ(traced_, kQueryReturned);
  EXPECT_EQ(Check(pki_.issue(unreachable)), RevocationCheckFailed);
  EXPECT_EQ(traced_, kQueryReturned);

  const Credential listed = pki_.issue(CertOptions());
  stores_.addCrl("CA", pki_.makeCrl(pki_.intermediate(), {{listed.serial(), 1}}, -2 * kDay, -kDay),
                 "issuing");
  EXPECT_EQ(Check(listed), RevocationCheckFailed) << "an expired CRL is no CRL";
}

TEST_F(CertificateChecksTest, CrlFromTheDistributionPointDecides) {
  LoopbackHttpServer server;
  CertOptions options;
  options.crlUrl = server.url("/issuing.crl");
  const Credential good = pki_.issue(options);
  const Credential compromised = pki_.issue(options);
  server.serve("/issuing.crl", [&] {
    const Bytes crl = pki_.makeCrl(pki_.intermediate(), {{compromised.serial(), 1}});
    return std::string(crl.begin(), crl.end());
  }());
  EXPECT_EQ(Check(good), Ok);
  EXPECT_EQ(Check(compromised), RevokedKeyCompromise);
  EXPECT_EQ(server.requestsFor("/issuing.crl"), 2);
}

TEST_F(CertificateChecksTest, FilterHidesWhatTheStaticStageRejectsAndOffersRevoked) {
  const Credential revoked = pki_.issue(CertOptions());
  PublishCrl({{revoked.serial(), 1}});
  const struct {
    const char* what;
    Credential credential;
    BOOL shown;
  } cases[] = {
      {"revoked", revoked, TRUE},
      {"good", pki_.issue(CertOptions()), TRUE},
      {"RSA issuer", pki_.issue(CertOptions(), pki_.caWithKey(KeyType::kRsa)), FALSE},
      {"no non-repudiation", pki_.issue(WithUsage(kDigitalSignature)), FALSE},
      {"expired", pki_.issue(WithValidity(-10 * kDay, -kDay)), FALSE},
      {"not yet valid", pki_.issue(WithValidity(kDay, 10 * kDay)), FALSE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Context context(c.credential);
    log_.Clear();
    EXPECT_EQ(filterCertificate(context.get(), /*customData=*/42, /*flags=*/7, /*displayWell=*/1),
              c.shown);
    EXPECT_EQ(log_.Lines(), Lines()) << "the filter makes no revocation query";
  }
  EXPECT_EQ(Check(revoked), RevokedKeyCompromise) << "revocation rejects it once used";
}

}  // namespace
}  // namespace quillet::test
