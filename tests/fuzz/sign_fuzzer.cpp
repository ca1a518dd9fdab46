// Sign of the signature library on arbitrary documents, with keys made once at start.
// The first byte chooses how: bit 0 returns the signature only, bit 1 signs with the
// GOST R 34.10-2012 (512) key (opened with its PIN) instead of the 256-bit one, bit 2 takes
// the rest as UTF-16LE code units (unpaired surrogates and all) instead of UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/fuzz/fuzz_world.h"

namespace {

using quillet::fuzz::proxy;

struct Signer {
  _xmlSecKey* key = nullptr;
  _xmlNode* signatureTemplate = nullptr;
};

// Key and template of a credential from the world's "My" store.
Signer signerFor(const quillet::test::Credential& credential, const wchar_t* pin) {
  quillet::test::Certificate certificate(quillet::test::StoredCertificate(
      quillet::fuzz::world().stores, credential,
      quillet::test::TestStores::AddOptions().withPin(pin[0] != L'\0' ? quillet::fuzz::kSignerPin
                                                                      : "")));
  Signer signer;
  if (!certificate ||
      proxy().prepare_key(quillet::fuzz::dropTrace, &signer.key, certificate.get(), pin) != 0 ||
      proxy().create_template(quillet::fuzz::dropTrace, certificate.get(),
                              &signer.signatureTemplate) != 0) {
    quillet::fuzz::setupFailed("cannot make a signing key and template");
  }
  return signer;
}

Signer signers[2];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quillet::fuzz::world();
  quillet::fuzz::initializeProxy();
  signers[0] = signerFor(quillet::fuzz::world().signer, L"");
  signers[1] = signerFor(quillet::fuzz::world().pinSigner, L"1234");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quillet::fuzz::noteInput(data, size);
  if (size == 0) return 0;
  const std::uint8_t how = data[0];
  std::wstring document;
  if ((how & 4) != 0) {
    for (std::size_t at = 1; at + 1 < size; at += 2) {
      document.push_back(static_cast<wchar_t>(data[at] | data[at + 1] << 8));
    }
  } else {
    document = quillet::test::Wide(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  }
  const Signer& signer = signers[(how & 2) != 0 ? 1 : 0];
  wchar_t* result = nullptr;
  const int code = proxy().sign(quillet::fuzz::dropTrace, signer.key, signer.signatureTemplate,
                                (how & 1) != 0, document.c_str(), &result);
  quillet::fuzz::reportResult("Sign", code);
  proxy().free_buffer(result);
  return 0;
}
