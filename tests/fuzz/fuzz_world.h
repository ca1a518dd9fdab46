// What the fuzz targets share: one test PKI and one set of user stores (a temporary HOME
// and XDG_DATA_HOME under the build's test-homes/), the signature library of the runtime
// directory, and the seeds a target writes for what only exists at run time (documents
// signed with the PKI's keys, requests naming its thumbprints).
//
// The PKI is made when a target starts, or, when QUILLET_FUZZ_WORLD names a directory,
// taken from there (and saved there the first time), so that a reproducer that depends on
// the keys (a valid signature, a thumbprint) crashes again in a later process. The test PKI
// is all that is trusted: OpenSSL's default certificates (the system's bundle) are not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/proxy/proxy_fixture.h"

namespace quillet::fuzz {

// The signer's PIN (its key in the store is encrypted with it).
constexpr char kSignerPin[] = "1234";

struct FuzzWorld {
  FuzzWorld();

  test::TestStores stores;  // first: HOME and XDG_DATA_HOME point into it from here on
  // The root CA (in "Root") and the intermediate (in "CA"), as a user's machine trusts them.
  test::Credential root;
  test::Credential intermediate;
  // A GOST R 34.10-2012 (256) signer issued by the intermediate, in "My" with its key.
  test::Credential signer;
  // A GOST R 34.10-2012 (512) signer whose key is protected by kSignerPin, in "My".
  test::Credential pinSigner;
};

// The world, made on first use. Aborts the process when the PKI or the stores cannot be
// made: a fuzzer without them would report nothing but its own set-up.
FuzzWorld& world();

// The signature library, loaded and bound on first use (aborts when it cannot be).
const test::ProxyLibrary& proxy();

// Initialises the signature library once for the rest of the process (aborts on failure).
void initializeProxy();

// Signs a UTF-8 document with a credential of the world's "My" store (pin: its PIN, empty
// for none) through the initialised library; the signed document (aborts on failure).
std::string signedDocument(const test::Credential& credential, const std::string& pin,
                           const std::string& document);

// A TraceCallback and an xmlsec1 error callback that drop everything.
int dropTrace(const wchar_t* text, int code, DWORD systemError);
void dropXmlSecError(const char* file, int line, const char* func, const char* errorObject,
                     const char* errorSubject, int reason, const char* msg);

// With QUILLET_FUZZ_VERBOSE set, writes "<call>: <code>" to standard error (to see what a
// corpus reaches: bash scripts/fuzz.sh runs without it).
void reportResult(const char* call, int code);

// With QUILLET_FUZZ_LAST_INPUT naming a file, writes each input there before it runs: the
// reproducer of a crash that kills the process before libFuzzer can save it (a fault inside
// the sanitizer's own handler).
void noteInput(const std::uint8_t* data, std::size_t size);

// Writes a seed into the directory named by QUILLET_FUZZ_GENERATED (nothing when unset).
void writeGeneratedSeed(const std::string& name, const std::string& bytes);

// Aborts with a message: the set-up failed.
[[noreturn]] void setupFailed(const std::string& what);

}  // namespace quillet::fuzz
