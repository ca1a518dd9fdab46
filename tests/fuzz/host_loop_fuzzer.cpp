// The host's read-dispatch-answer loop (runHost, as main runs it) over arbitrary bytes on
// its input, with the debugger output on (QUILLET_DEBUG_OUTPUT, written to /dev/null), the
// log on (to /dev/null) and the world's stores as the user's, so that sign and verify
// requests reach the signature library. The input is the byte stream the browser would
// send: framed messages, or anything else. Requests that name this run's certificates and
// documents signed with its keys are written as seeds at start.
//
// Each input runs the whole loop once, from a memory file, as a process's standard input.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "host/entry.h"
#include "tests/fuzz/fuzz_world.h"
#include "tests/proxy/verify_fixture.h"

namespace {

using namespace quillet::host;

// A message as the browser frames it: 4-byte little-endian length, then the body.
std::string framed(const nlohmann::json& request) {
  const std::string body = request.dump();
  const auto length = static_cast<std::uint32_t>(body.size());
  std::string message;
  for (int shift = 0; shift < 32; shift += 8) message.push_back(static_cast<char>(length >> shift));
  return message + body;
}

void writeSeeds() {
  using quillet::fuzz::writeGeneratedSeed;
  quillet::fuzz::FuzzWorld& world = quillet::fuzz::world();
  quillet::fuzz::initializeProxy();
  const std::string document = "<doc><a Id=\"x\">Подпись</a></doc>";
  const std::string signedByKey = quillet::fuzz::signedDocument(world.signer, "", document);
  const std::string signedByPin =
      quillet::fuzz::signedDocument(world.pinSigner, quillet::fuzz::kSignerPin, document);
  quillet::fuzz::proxy().shutdown();  // the host's engine initialises it for each request

  const std::string thumbprint = world.signer.sha1Hex();
  const std::string pinThumbprint = world.pinSigner.sha1Hex();
  writeGeneratedSeed("sign", framed({{"actionCode", "sign"},
                                     {"xmls", {document, "<r/>"}},
                                     {"thumbprint", thumbprint},
                                     {"storeName", "My"}}));
  writeGeneratedSeed("sign-pin", framed({{"actionCode", "sign"},
                                         {"xmls", {document}},
                                         {"thumbprint", pinThumbprint},
                                         {"password", quillet::fuzz::kSignerPin},
                                         {"returnSignatureOnly", "1"}}));
  writeGeneratedSeed("sign-wrong-pin", framed({{"actionCode", "sign"},
                                               {"xmls", {document}},
                                               {"thumbprint", pinThumbprint},
                                               {"password", "pin-1234"}}));
  writeGeneratedSeed("verify", framed({{"actionCode", "verify"}, {"xml", signedByKey}}));
  writeGeneratedSeed("verify-with-certificate",
                     framed({{"actionCode", "verify"},
                             {"xml", signedByPin},
                             {"certificateBody", quillet::test::Base64(world.pinSigner.der())}}));
  writeGeneratedSeed(
      "session",
      framed({{"actionCode", "getVersion"}}) +
          framed({{"actionCode", "verify"}, {"xml", signedByPin}}) +
          framed({{"actionCode", "sign"}, {"xmls", {signedByKey}}, {"thumbprint", thumbprint}}) +
          framed({{"actionCode", "promptCertificate"}}));
}

int input = -1;  // a memory file that holds the current input
std::FILE* output = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quillet::fuzz::world();
  setenv("QUILLET_DEBUG_OUTPUT", "/dev/null", 1);
  // No selection dialog can open: a request that would show one gets its error instead.
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  writeSeeds();
  input = memfd_create("host-input", MFD_CLOEXEC);
  // With QUILLET_FUZZ_VERBOSE set, the answers go to standard error (to see what a corpus
  // reaches).
  output = std::getenv("QUILLET_FUZZ_VERBOSE") != nullptr ? stderr : std::fopen("/dev/null", "wb");
  if (input == -1 || output == nullptr) quillet::fuzz::setupFailed("no input or output stream");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (ftruncate(input, 0) != 0 || pwrite(input, data, size, 0) != static_cast<ssize_t>(size) ||
      lseek(input, 0, SEEK_SET) != 0) {
    quillet::fuzz::setupFailed("cannot write the input");
  }
  std::FILE* stream = fdopen(dup(input), "rb");
  if (stream == nullptr) quillet::fuzz::setupFailed("cannot open the input");
  char program[] = "QuilletHost";
  char* arguments[] = {program, nullptr};
  runHost(1, arguments, stream, output);
  std::fclose(stream);
  return 0;
}
