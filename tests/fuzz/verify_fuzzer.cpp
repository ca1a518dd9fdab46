// Verify of the signature library on arbitrary documents against a fixed trust: the test
// PKI's root in the user's "Root" store and its intermediate in "CA", made at start, with
// the host's own check of the signer's certificate. An input that starts with "CERT:" carries
// the optional certificate (Base64 of DER) up to the first line break; the rest is the
// document. Documents signed with this run's keys are written as seeds at start.
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/certs/certificate_checks.h"
#include "tests/fuzz/fuzz_world.h"
#include "tests/proxy/verify_fixture.h"

namespace {

using namespace quillet::host;

using quillet::fuzz::dropTrace;
using quillet::fuzz::proxy;
using quillet::fuzz::signedDocument;
using quillet::fuzz::writeGeneratedSeed;

void writeSeeds() {
  quillet::fuzz::FuzzWorld& world = quillet::fuzz::world();
  const std::string plain = "<Envelope xmlns=\"urn:envelope\"><Data>Привет, мир!</Data></Envelope>";
  writeGeneratedSeed("signed-256", signedDocument(world.signer, "", plain));
  writeGeneratedSeed("signed-512", signedDocument(world.pinSigner, quillet::fuzz::kSignerPin,
                                                  "<doc a=\"1\"><b>text</b><c/></doc>"));
  const std::string withId =
      "<doc><part Id=\"p1\">covered</part><!-- comment --><![CDATA[x<y]]></doc>";
  writeGeneratedSeed("signed-with-ids", signedDocument(world.signer, "", withId));
  writeGeneratedSeed("cert-and-signed", "CERT:" + quillet::test::Base64(world.signer.der()) + "\n" +
                                            signedDocument(world.signer, "", plain));
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quillet::fuzz::world();
  quillet::fuzz::initializeProxy();
  writeSeeds();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quillet::fuzz::noteInput(data, size);
  std::string document(reinterpret_cast<const char*>(data), size);
  std::string certificate;
  if (document.compare(0, 5, "CERT:") == 0) {
    const std::size_t end = document.find('\n');
    certificate = document.substr(5, end == std::string::npos ? std::string::npos : end - 5);
    document.erase(0, end == std::string::npos ? document.size() : end + 1);
  }
  quillet::fuzz::reportResult(
      "Verify", proxy().verify(dropTrace, CheckIfCertificateValid, &document, &certificate));
  return 0;
}
