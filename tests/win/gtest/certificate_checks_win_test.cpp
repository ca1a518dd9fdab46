// The certificate checks with the system's crypt32 (Wine's here), on GOST certificates
// made by OpenSSL and put into the current user's "My" store, found there by thumbprint as
// the engine finds them: the static stage's codes, the revocation query of the real
// CertVerifyRevocation, and the fault guard absorbing a real access violation.
#include <gtest/gtest.h>

#include <string>

#include "host/certs/certificate_checks.h"
#include "host/certs/revocation_fault_guard.h"
#include "host/certs/revocation_query.h"
#include "host/result_codes.h"
#include "tests/win/gtest/win_test_support.h"

namespace quillet::wintest {

using namespace quillet::host;
namespace {

const char* const kCertificates[] = {"gost2012-256.cer", "no-usage.cer", "expired.cer",
                                     "not-yet-valid.cer", "rsa.cer"};

class CertificateChecksWinTest : public testing::Test {
 protected:
  void TearDown() override { replaceRevocationQueryForTesting(nullptr); }

  // The full check of a certificate found in My; the trace in traced_.
  int Check(const std::string& name) {
    PCCERT_CONTEXT context = MyStoreWith::Find(name);
    if (context == nullptr) return -1;
    log_.Clear();
    const int code = CheckIfCertificateValid(context);
    traced_ = log_.Lines();
    CertFreeCertificateContext(context);
    return code;
  }

  MyStoreWith store_{std::vector<std::string>(std::begin(kCertificates), std::end(kCertificates))};
  TraceLog log_;
  Lines traced_;
};

TEST_F(CertificateChecksWinTest, StaticStageCodesFromTheSystemsDecoding) {
  const std::pair<const char*, int> expected[] = {
      {"rsa.cer", NotGostCertificate},
      {"no-usage.cer", NotSigningCertificate},
      {"expired.cer", CertificateExpired},
      {"not-yet-valid.cer", CertificateNotYetValid},
  };
  for (const auto& [name, code] : expected) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Check(name), code);
    EXPECT_EQ(traced_, Lines()) << "the static stage traces nothing";
    PCCERT_CONTEXT context = MyStoreWith::Find(name);
    EXPECT_EQ(filterCertificate(context, 0, 0, 0), FALSE) << "the dialog hides it";
    CertFreeCertificateContext(context);
  }
  PCCERT_CONTEXT fit = MyStoreWith::Find("gost2012-256.cer");
  EXPECT_EQ(CheckIfCertificateSuitable(fit), Ok);
  EXPECT_EQ(filterCertificate(fit, 0, 0, 0), TRUE);
  CertFreeCertificateContext(fit);
}

TEST_F(CertificateChecksWinTest, RevocationThatCannotBeCheckedIs11NeverPassed) {
  // No CRL distribution point and no CRL: the system cannot tell, which is not "valid".
  EXPECT_EQ(Check("gost2012-256.cer"), RevocationCheckFailed);
  ASSERT_FALSE(traced_.empty());
  EXPECT_EQ(traced_.front(), "CertVerifyRevocation");
  EXPECT_EQ(traced_[1], "CertVerifyRevocation is ok");
}

void* g_inaccessible = nullptr;

// Reads a page that may not be read: a real access violation inside the query.
BOOL accessViolatingQuery(PCCERT_CONTEXT, PCERT_REVOCATION_STATUS) {
  return *static_cast<volatile BYTE*>(g_inaccessible);
}

// Raises a software exception of error severity (customer bit set): not a fault.
BOOL softwareExceptionQuery(PCCERT_CONTEXT, PCERT_REVOCATION_STATUS) {
  RaiseException(0xE0000001, 0, 0, nullptr);
  return TRUE;
}

LONG CALLBACK continueAfterSoftwareException(PEXCEPTION_POINTERS pointers) {
  return pointers->ExceptionRecord->ExceptionCode == 0xE0000001 ? EXCEPTION_CONTINUE_EXECUTION
                                                                : EXCEPTION_CONTINUE_SEARCH;
}

TEST_F(CertificateChecksWinTest, AccessViolationInsideTheQueryIsAbsorbedAs11) {
  g_inaccessible = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
  ASSERT_NE(g_inaccessible, nullptr);
  const Lines absorbed = {"CertVerifyRevocation", "caught AV as expected.",
                          "Can't verify revocation", "ERROR=11 (CertVerifyRevocation failed)"};
  // Twice: the handler must be armed again after a jump out of it.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    replaceRevocationQueryForTesting(&accessViolatingQuery);
    EXPECT_EQ(Check("gost2012-256.cer"), RevocationCheckFailed);
    EXPECT_EQ(traced_, absorbed);
  }
  replaceRevocationQueryForTesting(nullptr);
  Check("gost2012-256.cer");
  EXPECT_EQ(traced_.at(1), "CertVerifyRevocation is ok") << "the real query runs afterwards";
  VirtualFree(g_inaccessible, 0, MEM_RELEASE);
}

TEST_F(CertificateChecksWinTest, SoftwareExceptionsPassTheGuardToTheNextHandler) {
  PVOID handler = AddVectoredExceptionHandler(0, &continueAfterSoftwareException);
  BOOL verdict = FALSE;
  CERT_REVOCATION_STATUS status{};
  status.cbSize = sizeof status;
  EXPECT_EQ(runRevocationQueryGuarded(&softwareExceptionQuery, nullptr, &status, &verdict),
            GuardedQueryEnd::kReturned);
  EXPECT_EQ(verdict, TRUE) << "the query ran on to its answer";
  RemoveVectoredExceptionHandler(handler);
}

}  // namespace
}  // namespace quillet::wintest
