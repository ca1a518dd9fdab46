// What the platform library loads on first need instead of at start: the GOST engine and
// libcurl. Each case runs its checks in a fresh copy of this test program (the same test,
// selected by filter), so that nothing of this process has loaded either before: the
// parent makes the stores, the child is the process under test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/support/file_bytes.h"
#include "tests/support/http_server.h"
#include "tests/support/run_program.h"
#include "tests/support/test_pki.h"
#include "tests/support/test_stores.h"

namespace quillet::test {
namespace {

constexpr char kChildVariable[] = "QUILLET_TEST_FRESH_PROCESS";

bool InChild() { return std::getenv(kChildVariable) != nullptr; }

// Whether a module whose path contains `part` is mapped into this process.
bool Mapped(const std::string& part) {
  std::ifstream maps("/proc/self/maps");
  std::stringstream text;
  text << maps.rdbuf();
  return text.str().find(part) != std::string::npos;
}

// Runs the current test again in a fresh process of this program, with the environment
// entries ("NAME=value") added; fails the test unless the child's run passes.
void RunInFreshProcess(std::vector<std::string> environment) {
  char self[PATH_MAX] = {};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  environment.push_back(std::string(kChildVariable) + "=1");
  const CliResult run = runProgram(
      self, {std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name()},
      environment);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("[  PASSED  ] 1 test"), std::string::npos) << run.out;
}

PCCERT_CONTEXT OnlyCertificateOf(HCERTSTORE store) {
  PCCERT_CONTEXT first = CertEnumCertificatesInStore(store, nullptr);
  return first != nullptr ? CertDuplicateCertificateContext(first) : nullptr;
}

BOOL CheckRevocation(PCCERT_CONTEXT certificate, CERT_REVOCATION_STATUS* status) {
  PVOID contexts[] = {const_cast<PCERT_CONTEXT>(certificate)};
  *status = CERT_REVOCATION_STATUS{};
  status->cbSize = sizeof *status;
  return CertVerifyRevocation(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, CERT_CONTEXT_REVOCATION_TYPE,
                              1, contexts, CERT_VERIFY_REV_CHAIN_FLAG, nullptr, status);
}

// A process whose first certificate parse is a store's GOST certificate gets its key
// decoded: the issuer's public key verifies the certificate and the store CRL, and the
// private key is had. Had any parse run before the engine was loaded, the issuer would
// not be recognised and revocation would come back unchecked.
TEST(LazyLibrariesTest, FirstParseInAFreshProcessDecodesGostKeys) {
  if (!InChild()) {
    TestPki pki;
    TestStores stores;
    const Credential signer = pki.issue(CertOptions());
    stores.add("Root", pki.root(), TestStores::AddOptions().noKey());
    stores.add("CA", pki.intermediate(), TestStores::AddOptions().noKey());
    stores.add("My", signer);
    stores.addCrl("CA", pki.makeCrl(pki.intermediate(), {}), "issuing");
    RunInFreshProcess({});
    return;
  }
  EXPECT_FALSE(Mapped("/gost.so")) << "the GOST engine was loaded at start";

  HCERTSTORE store =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                    CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, L"My");
  ASSERT_NE(store, nullptr);
  PCCERT_CONTEXT signer = OnlyCertificateOf(store);
  ASSERT_NE(signer, nullptr);
  EXPECT_TRUE(Mapped("/gost.so")) << "a GOST certificate was parsed without the engine";

  CERT_REVOCATION_STATUS status;
  EXPECT_TRUE(CheckRevocation(signer, &status)) << std::hex << status.dwError;
  EXPECT_EQ(status.dwError, 0u);

  HCRYPTPROV_OR_NCRYPT_KEY_HANDLE provider = 0;
  DWORD key_spec = 0;
  BOOL caller_frees = FALSE;
  EXPECT_TRUE(
      CryptAcquireCertificatePrivateKey(signer, 0, nullptr, &provider, &key_spec, &caller_frees));
  if (caller_frees) CryptReleaseContext(provider, 0);
  EXPECT_FALSE(Mapped("libcurl")) << "libcurl was loaded though nothing was fetched";
  CertFreeCertificateContext(signer);
  CertCloseStore(store, 0);
}

// When libcurl cannot be loaded, a distribution point cannot be fetched: the check says
// the revocation server is offline (never "not revoked"), the reason goes to the debugger
// output, and the process goes on. The child's library path serves a libcurl.so.4 that is
// no library.
TEST(LazyLibrariesTest, DistributionPointWithoutLibcurlIsOffline) {
  if (!InChild()) {
    setenv("no_proxy", "127.0.0.1", 1);
    TestPki pki;
    TestStores stores;
    LoopbackHttpServer server;
    server.serve("/issuing.crl", [&] {
      const Bytes crl = pki.makeCrl(pki.intermediate(), {});
      return std::string(crl.begin(), crl.end());
    }());
    CertOptions options;
    options.crlUrl = server.url("/issuing.crl");
    const Credential signer = pki.issue(options);
    stores.add("Root", pki.root(), TestStores::AddOptions().noKey());
    stores.add("CA", pki.intermediate(), TestStores::AddOptions().noKey());
    const std::string dir = stores.home();
    writeFileOrFail(dir + "/signer.cer", signer.der());
    writeFileOrFail(dir + "/libcurl.so.4", std::string("not a library"));
    RunInFreshProcess({"LD_LIBRARY_PATH=" + dir, "QUILLET_DEBUG_OUTPUT=" + dir + "/debug.txt",
                       "QUILLET_TEST_SIGNER=" + dir + "/signer.cer"});
    EXPECT_EQ(server.requestsFor("/issuing.crl"), 0);
    EXPECT_NE(readFile(dir + "/debug.txt")
                  .find("QuilletPlatform: CRLs cannot be fetched: cannot load libcurl.so.4: "),
              std::string::npos)
        << readFile(dir + "/debug.txt");
    return;
  }
  const std::string der = readFile(std::getenv("QUILLET_TEST_SIGNER"));
  PCCERT_CONTEXT signer = CertCreateCertificateContext(
      X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()));
  ASSERT_NE(signer, nullptr);
  for (int attempt = 0; attempt < 2; ++attempt) {  // the second one does not retry the load
    CERT_REVOCATION_STATUS status;
    EXPECT_FALSE(CheckRevocation(signer, &status));
    EXPECT_EQ(status.dwError, static_cast<DWORD>(CRYPT_E_REVOCATION_OFFLINE));
  }
  CertFreeCertificateContext(signer);
}

}  // namespace
}  // namespace quillet::test
