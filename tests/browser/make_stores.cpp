// quillet_browser_stores HOME: fills HOME (used as HOME and XDG_DATA_HOME by the browser
// tests) with the current user's certificate stores from the test PKI, and prints what
// the tests need to know about them as one JSON object on standard output (store "My"
// holds both signers, store "Single" the plain signer alone):
//   {"root": PEM path, "intermediate": PEM path,
//    "signers": {"plain": {...}, "pin": {...}}}
// where each signer has "thumbprint" (bare hex), "certificateBody" (Base64 DER),
// "owner" (the certificate's common name) and "pin" (empty for a key without one).
#include <openssl/evp.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <iostream>
#include <string>

#include "tests/support/test_pki.h"
#include "tests/support/test_stores.h"

namespace {

using quillet::test::Credential;
using quillet::test::TestPki;
using quillet::test::writeFileOrFail;

std::string Base64Of(const quillet::test::Bytes& bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                     static_cast<int>(bytes.size()));
  text.resize(static_cast<std::size_t>(length));
  return text;
}

// The store directory of the platform layer for XDG_DATA_HOME=home.
std::string storeDir(const std::string& home, const std::string& store) {
  const std::string dir = home + "/tavlin.quillet/stores/" + store;
  std::filesystem::create_directories(dir);
  return dir;
}

// Puts a certificate, and its key container when pin is not null, into a store.
void AddToStore(const std::string& home, const std::string& store, const Credential& credential,
                const std::string* pin) {
  const std::string base = storeDir(home, store) + "/" + credential.sha1Hex();
  writeFileOrFail(base + ".cer", credential.der());
  if (pin != nullptr) writeFileOrFail(base + ".key", TestPki::keyPem(credential.key.get(), *pin));
}

nlohmann::json SignerJson(const Credential& credential, const std::string& owner,
                          const std::string& pin) {
  return {{"thumbprint", credential.sha1Hex()},
          {"certificateBody", Base64Of(credential.der())},
          {"owner", owner},
          {"pin", pin}};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: quillet_browser_stores HOME\n";
    return 2;
  }
  const std::string home = std::filesystem::absolute(argv[1]).string();
  try {
    TestPki pki;
    const std::string plainOwner = "Иванов Иван Иванович";
    quillet::test::CertOptions plainOptions;
    plainOptions.subject = {{"CN", plainOwner}, {"O", "ООО «Тест»"}, {"C", "RU"}};
    const Credential plain = pki.issue(plainOptions);

    const std::string pinOwner = "Quillet PIN Signer";
    const std::string pin = "12345678";
    quillet::test::CertOptions pinOptions;
    pinOptions.subject = {{"CN", pinOwner}};
    pinOptions.keyType = quillet::test::KeyType::kGost2012_512;
    const Credential pinned = pki.issue(pinOptions);

    const std::string noPin;
    AddToStore(home, "My", plain, &noPin);
    AddToStore(home, "My", pinned, &pin);
    AddToStore(home, "Single", plain, &noPin);
    AddToStore(home, "Root", pki.root(), nullptr);
    AddToStore(home, "CA", pki.intermediate(), nullptr);

    const std::string pemDir = home + "/pki";
    std::filesystem::create_directories(pemDir);
    writeFileOrFail(pemDir + "/root.pem", pki.root().pem());
    writeFileOrFail(pemDir + "/intermediate.pem", pki.intermediate().pem());

    const nlohmann::json out = {{"root", pemDir + "/root.pem"},
                                {"intermediate", pemDir + "/intermediate.pem"},
                                {"signers",
                                 {{"plain", SignerJson(plain, plainOwner, "")},
                                  {"pin", SignerJson(pinned, pinOwner, pin)}}}};
    std::cout << out.dump() << '\n';
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "quillet_browser_stores: " << error.what() << '\n';
    return 1;
  }
}
