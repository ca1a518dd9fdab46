// The fault guard around the revocation query, with faults injected through the query seam:
// an access violation is absorbed as 11 with its four trace lines and the check keeps
// working; any other fault, and signals not raised by a fault, pass through.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/certs/certificate_checks.h"
#include "host/certs/revocation_query.h"
#include "host/result_codes.h"
#include "tests/certs/trace_log.h"
#include "tests/support/test_pki.h"
#include "tests/support/test_stores.h"

namespace quillet::test {

using namespace quillet::host;
namespace {

using Lines = std::vector<std::string>;

void* g_inaccessible = nullptr;

// Reads a page that may not be read: a real access violation inside the query.
BOOL accessViolatingQuery(PCCERT_CONTEXT, PCERT_REVOCATION_STATUS) {
  return *static_cast<volatile BYTE*>(g_inaccessible);
}

// Executes an invalid instruction: a fault that is not an access violation.
BOOL illegalInstructionQuery(PCCERT_CONTEXT, PCERT_REVOCATION_STATUS) { __builtin_trap(); }

// Sends itself SIGSEGV (no fault) and then answers "revoked, key compromise".
BOOL signalSendingQuery(PCCERT_CONTEXT, PCERT_REVOCATION_STATUS status) {
  raise(SIGSEGV);
  status->dwError = CRYPT_E_REVOKED;
  status->dwReason = CRL_REASON_KEY_COMPROMISE;
  return FALSE;
}

// Answers FALSE with dwError 0, as a provider may: revoked by the reason it gives.
BOOL revokedWithoutErrorQuery(PCCERT_CONTEXT, PCERT_REVOCATION_STATUS status) {
  status->dwError = 0;
  status->dwReason = CRL_REASON_CERTIFICATE_HOLD;
  return FALSE;
}

volatile sig_atomic_t g_received_code = 0;
void recordSignal(int, siginfo_t* info, void*) { g_received_code = info->si_code; }

class RevocationFaultGuardTest : public testing::Test {
 protected:
  void SetUp() override {
    g_inaccessible = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(g_inaccessible, MAP_FAILED);
    stores_.add("Root", pki_.root(), TestStores::AddOptions().noKey());
    stores_.add("CA", pki_.intermediate(), TestStores::AddOptions().noKey());
    stores_.addCrl("CA", pki_.makeCrl(pki_.intermediate(), {}), "issuing");
    const Bytes der = pki_.issue(CertOptions()).der();
    context_ =
        CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
    ASSERT_NE(context_, nullptr);
  }
  void TearDown() override {
    replaceRevocationQueryForTesting(nullptr);
    CertFreeCertificateContext(context_);
    munmap(g_inaccessible, 4096);
  }

  // Runs the full check with the query given and returns its code; trace in traced_.
  int CheckWith(RevocationQuery query) {
    replaceRevocationQueryForTesting(query);
    log_.Clear();
    const int code = CheckIfCertificateValid(context_);
    traced_ = log_.Lines();
    replaceRevocationQueryForTesting(nullptr);
    return code;
  }

  TestPki pki_;
  TestStores stores_;
  TraceLog log_{stores_.home()};
  PCCERT_CONTEXT context_ = nullptr;
  Lines traced_;
};

TEST_F(RevocationFaultGuardTest, AccessViolationIsAbsorbedAndTheCheckGoesOn) {
  const Lines absorbed = {"CertVerifyRevocation", "caught AV as expected.",
                          "Can't verify revocation", "ERROR=11 (CertVerifyRevocation failed)"};
  // Twice: the guard must be armed again (and SIGSEGV not left blocked) after a jump.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    EXPECT_EQ(CheckWith(&accessViolatingQuery), RevocationCheckFailed);
    EXPECT_EQ(traced_, absorbed);
  }
  EXPECT_EQ(CheckWith(nullptr), Ok) << "the real query still answers afterwards";
  EXPECT_EQ(traced_, Lines({"CertVerifyRevocation", "CertVerifyRevocation is ok"}));
}

TEST_F(RevocationFaultGuardTest, GuardLeavesTheHandlersAsItFoundThem) {
  struct sigaction before[4];
  const int signals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};
  for (int i = 0; i < 4; ++i) sigaction(signals[i], nullptr, &before[i]);
  CheckWith(&accessViolatingQuery);
  CheckWith(nullptr);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(signals[i]);
    struct sigaction after {};
    sigaction(signals[i], nullptr, &after);
    EXPECT_EQ(after.sa_flags & SA_SIGINFO, before[i].sa_flags & SA_SIGINFO);
    if (after.sa_flags & SA_SIGINFO) {
      EXPECT_EQ(after.sa_sigaction, before[i].sa_sigaction);
    } else {
      EXPECT_EQ(after.sa_handler, before[i].sa_handler);
    }
  }
}

TEST_F(RevocationFaultGuardTest, SignalNotRaisedByAFaultGoesToTheEarlierHandler) {
  struct sigaction mine {};
  struct sigaction saved {};
  mine.sa_sigaction = &recordSignal;
  mine.sa_flags = SA_SIGINFO;
  sigemptyset(&mine.sa_mask);
  ASSERT_EQ(sigaction(SIGSEGV, &mine, &saved), 0);
  g_received_code = 0;
  const int code = CheckWith(&signalSendingQuery);
  sigaction(SIGSEGV, &saved, nullptr);

  EXPECT_EQ(g_received_code, SI_TKILL) << "the earlier handler got the signal";
  EXPECT_EQ(code, RevokedKeyCompromise) << "the query ran on to its answer";
  EXPECT_EQ(traced_, Lines({"CertVerifyRevocation", "CertVerifyRevocation is ok"}));
}

TEST_F(RevocationFaultGuardTest, FalseWithoutErrorCountsAsRevoked) {
  EXPECT_EQ(CheckWith(&revokedWithoutErrorQuery), CertificateOnHold);
}

TEST_F(RevocationFaultGuardTest, OtherFaultsAreNotAbsorbed) {
  EXPECT_DEATH(CheckWith(&illegalInstructionQuery), "");
  // The dying check traced its lines into the same log.
  const Lines lines = log_.Lines();
  const auto unexpected = std::find(lines.begin(), lines.end(), "didn't catch AV, unexpected.");
  EXPECT_NE(unexpected, lines.end());
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "Can't verify revocation"), lines.end());
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "ERROR=11 (CertVerifyRevocation failed)"),
            lines.end());
}

}  // namespace
}  // namespace quillet::test
