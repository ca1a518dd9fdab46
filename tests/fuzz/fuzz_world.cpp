#include "tests/fuzz/fuzz_world.h"

#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>

namespace quillet::fuzz {
namespace {

// The host's daily log file names of today and tomorrow, as links to /dev/null: the host
// target writes its log on every run, and a fuzzing session would fill the disk with it.
void silenceHostLog(const std::string& home) {
  const std::string directory = home + "/tavlin.quillet";
  const std::time_t now = std::time(nullptr);
  for (std::time_t day : {now, now + 24 * 3600}) {
    std::tm local = *std::localtime(&day);
    char name[64];
    std::strftime(name, sizeof name, "QuilletHost_%Y%m%d.log", &local);
    const std::string path = directory + "/" + name;
    unlink(path.c_str());
    if (symlink("/dev/null", path.c_str()) != 0) setupFailed("cannot link " + path);
  }
}

// The files of a credential in the world directory: <name>.der and <name>.key (PEM,
// unencrypted).
void saveCredential(const std::string& directory, const std::string& name,
                    const test::Credential& credential) {
  test::writeFileOrFail(directory + "/" + name + ".der", credential.der());
  test::writeFileOrFail(directory + "/" + name + ".key",
                        test::TestPki::keyPem(credential.key.get(), ""));
}

test::Credential loadCredential(const std::string& directory, const std::string& name) {
  const std::string der = test::readFile(directory + "/" + name + ".der");
  const std::string pem = test::readFile(directory + "/" + name + ".key");
  const auto* at = reinterpret_cast<const unsigned char*>(der.data());
  test::Credential credential;
  credential.cert.reset(d2i_X509(nullptr, &at, static_cast<long>(der.size())), X509_free);
  BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
  credential.key.reset(PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr), EVP_PKEY_free);
  BIO_free(bio);
  if (!credential.cert || !credential.key) setupFailed("cannot read " + directory + "/" + name);
  return credential;
}

}  // namespace

FuzzWorld::FuzzWorld() {
  // The trust is the test PKI alone: OpenSSL's default certificate file and directory,
  // which xmlsec1's keys manager loads on every verification, are empty ones. (The system's
  // bundle costs a second or two a verification under the sanitizers and adds nothing a
  // fuzzer can sign with.)
  const std::string none = stores.home() + "/no-default-certificates";
  mkdir(none.c_str(), 0700);
  test::writeFileOrFail(none + "/bundle.pem", std::string());
  setenv("SSL_CERT_FILE", (none + "/bundle.pem").c_str(), 1);
  setenv("SSL_CERT_DIR", none.c_str(), 1);
  const char* saved = std::getenv("QUILLET_FUZZ_WORLD");
  const std::string directory = saved != nullptr ? saved : "";
  const char* const names[] = {"root", "intermediate", "signer", "pin-signer"};
  test::Credential* const credentials[] = {&root, &intermediate, &signer, &pinSigner};
  test::TestPki pki;  // also loads the GOST engine, which reading the keys needs
  if (!directory.empty() && access((directory + "/pin-signer.key").c_str(), R_OK) == 0) {
    for (int at = 0; at < 4; ++at) *credentials[at] = loadCredential(directory, names[at]);
  } else {
    root = pki.root();
    intermediate = pki.intermediate();
    test::CertOptions options;
    signer = pki.issue(options);
    options.keyType = test::KeyType::kGost2012_512;
    options.subject = {{"CN", "Quillet Fuzz PIN Signer"}};
    pinSigner = pki.issue(options);
    if (!signer.cert || !signer.key || !pinSigner.cert || !pinSigner.key) {
      setupFailed("no GOST certificates (is the GOST engine installed?)");
    }
    if (!directory.empty()) {
      mkdir(directory.c_str(), 0700);
      for (int at = 0; at < 4; ++at) saveCredential(directory, names[at], *credentials[at]);
    }
  }
  stores.add("My", signer);
  stores.add("My", pinSigner, test::TestStores::AddOptions().withPin(kSignerPin));
  stores.add("Root", root, test::TestStores::AddOptions().noKey());
  stores.add("CA", intermediate, test::TestStores::AddOptions().noKey());
  silenceHostLog(stores.home());
}

FuzzWorld& world() {
  static FuzzWorld made;  // its home goes when the process exits
  return made;
}

const test::ProxyLibrary& proxy() {
  const test::ProxyLibrary& library = test::ProxyLibrary::Get();
  if (library.handle() == nullptr || library.verify == nullptr || library.sign == nullptr) {
    setupFailed("cannot load the signature library from " + test::BinDir());
  }
  return library;
}

void initializeProxy() {
  static const bool done = [] {
    int step = -1;
    if (proxy().init(dropTrace, dropXmlSecError, &step) != 0) {
      setupFailed("InitXmlSec failed at step " + std::to_string(step));
    }
    return true;
  }();
  (void)done;
}

std::string signedDocument(const test::Credential& credential, const std::string& pin,
                           const std::string& document) {
  test::Certificate certificate(test::StoredCertificate(
      world().stores, credential, test::TestStores::AddOptions().withPin(pin)));
  const std::wstring widePin = test::Wide(pin);
  _xmlSecKey* key = nullptr;
  _xmlNode* made = nullptr;
  wchar_t* result = nullptr;
  std::string text;
  if (certificate &&
      proxy().prepare_key(dropTrace, &key, certificate.get(), widePin.c_str()) == 0 &&
      proxy().create_template(dropTrace, certificate.get(), &made) == 0 &&
      proxy().sign(dropTrace, key, made, false, test::Wide(document).c_str(), &result) == 0) {
    text = test::Narrow(result);
  }
  proxy().free_buffer(result);
  proxy().destroy_template(made);
  proxy().destroy_key(key);
  if (text.empty()) setupFailed("cannot sign a seed document");
  return text;
}

int dropTrace(const wchar_t*, int, DWORD) { return 0; }

void dropXmlSecError(const char*, int, const char*, const char*, const char*, int, const char*) {}

void reportResult(const char* call, int code) {
  static const bool verbose = std::getenv("QUILLET_FUZZ_VERBOSE") != nullptr;
  if (verbose) std::fprintf(stderr, "%s: %d\n", call, code);
}

void noteInput(const std::uint8_t* data, std::size_t size) {
  static const char* const path = std::getenv("QUILLET_FUZZ_LAST_INPUT");
  if (path == nullptr) return;
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
}

void writeGeneratedSeed(const std::string& name, const std::string& bytes) {
  const char* directory = std::getenv("QUILLET_FUZZ_GENERATED");
  if (directory == nullptr || *directory == '\0') return;
  std::ofstream file(std::string(directory) + "/" + name, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) setupFailed(std::string("cannot write a seed into ") + directory);
}

void setupFailed(const std::string& what) {
  std::fprintf(stderr, "fuzz set-up failed: %s\n", what.c_str());
  std::abort();
}

}  // namespace quillet::fuzz
