#include "tools/store/credential_files.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/sha.h>
#include <openssl/x509.h>

#include <fstream>
#include <iterator>
#include <utility>

#include "platform/gost_engine_linux.h"

namespace quillet::store_tool {
namespace {

using quillet::platform::ScopedBio;
using quillet::platform::ScopedEvpPkey;
using quillet::platform::ScopedPkcs12;
using quillet::platform::ScopedX509;
using quillet::platform::ScopedX509Stack;

bool readFile(const std::string& path, std::string* bytes, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot read " + path;
    return false;
  }
  bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return true;
}

// The reason of the last OpenSSL failure, taken off the error queue. Call it right after
// the failing call, before anything is freed: a release may clear the queue or add to it.
std::string openSslReason() {
  char reason[256] = {};
  ERR_error_string_n(ERR_peek_last_error(), reason, sizeof(reason));
  ERR_clear_error();
  return reason;
}

ScopedBio memoryOf(const std::string& bytes) {
  return ScopedBio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
}

int passwordCallback(char* buffer, int size, int /*rwflag*/, void* password) {
  const auto* text = static_cast<const std::string*>(password);
  if (static_cast<int>(text->size()) > size) return -1;
  text->copy(buffer, text->size());
  return static_cast<int>(text->size());
}

bool isPem(const std::string& bytes) { return bytes.find("-----BEGIN") != std::string::npos; }

// Reads a file to be parsed by OpenSSL into bytes and a memory BIO over them, with the GOST
// engine loaded first (a GOST key parsed without it stays undecoded).
bool readForParsing(const std::string& path, std::string* bytes, ScopedBio* bio,
                    std::string* error) {
  QuilletGostEngine();
  if (!readFile(path, bytes, error)) return false;
  *bio = memoryOf(*bytes);
  return true;
}

}  // namespace

bool readCertificate(const std::string& path, Credential* credential, std::string* error) {
  std::string bytes;
  ScopedBio bio;
  if (!readForParsing(path, &bytes, &bio, error)) return false;
  ScopedX509 cert(isPem(bytes) ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)
                               : d2i_X509_bio(bio.get(), nullptr));
  if (cert == nullptr) {
    *error = path + " holds no certificate (" + openSslReason() + ")";
    return false;
  }
  credential->cert = std::move(cert);
  return true;
}

bool readPrivateKey(const std::string& path, const std::string& password, Credential* credential,
                    std::string* error) {
  std::string bytes;
  ScopedBio bio;
  if (!readForParsing(path, &bytes, &bio, error)) return false;
  std::string pass = password;
  ScopedEvpPkey key(isPem(bytes)
                        ? PEM_read_bio_PrivateKey(bio.get(), nullptr, passwordCallback, &pass)
                        : d2i_PrivateKey_bio(bio.get(), nullptr));
  if (key == nullptr) {
    *error = "cannot read the private key in " + path +
             " (wrong password, or not a key: " + openSslReason() + ")";
    return false;
  }
  credential->key = std::move(key);
  if (X509_check_private_key(credential->cert.get(), credential->key.get()) != 1) {
    ERR_clear_error();
    *error = "the private key in " + path + " does not belong to the certificate";
    return false;
  }
  return true;
}

bool readPkcs12(const std::string& path, const std::string& password, Credential* credential,
                std::string* error) {
  std::string bytes;
  ScopedBio bio;
  if (!readForParsing(path, &bytes, &bio, error)) return false;
  const ScopedPkcs12 pfx(d2i_PKCS12_bio(bio.get(), nullptr));
  if (pfx == nullptr) {
    *error = path + " is not a PKCS#12 file (" + openSslReason() + ")";
    return false;
  }
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
  STACK_OF(X509)* others = nullptr;
  const int parsed = PKCS12_parse(pfx.get(), password.c_str(), &key, &cert, &others);
  // The reason first: the owners below release what the parse left, which may touch the
  // error queue.
  const std::string reason = parsed != 1 ? openSslReason() : std::string();
  ScopedEvpPkey ownedKey(key);
  ScopedX509 ownedCert(cert);
  const ScopedX509Stack ownedOthers(others);
  if (parsed != 1 || ownedCert == nullptr || ownedKey == nullptr) {
    *error = parsed != 1 ? "cannot open " + path + ": wrong password? (" + reason + ")"
                         : path + " holds no certificate with a private key";
    return false;
  }
  int length = 0;
  const unsigned char* alias = X509_alias_get0(ownedCert.get(), &length);
  if (alias != nullptr)
    credential->friendlyName.assign(reinterpret_cast<const char*>(alias), length);
  credential->cert = std::move(ownedCert);
  credential->key = std::move(ownedKey);
  return true;
}

std::string keyToPem(EVP_PKEY* key, const std::string& pin) {
  const ScopedBio bio(BIO_new(BIO_s_mem()));
  const EVP_CIPHER* cipher = pin.empty() ? nullptr : EVP_aes_256_cbc();
  std::string pass = pin;
  const bool written =
      PEM_write_bio_PKCS8PrivateKey(bio.get(), key, cipher, pin.empty() ? nullptr : pass.data(),
                                    static_cast<int>(pass.size()), nullptr, nullptr) == 1;
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  std::string pem = written ? std::string(data, static_cast<std::size_t>(length)) : std::string();
  ERR_clear_error();
  return pem;
}

std::string certificateDer(X509* cert) { return quillet::platform::derOf(cert, i2d_X509); }

std::string certThumbprint(X509* cert) {
  const std::string der = certificateDer(cert);
  unsigned char hash[SHA_DIGEST_LENGTH];
  SHA1(reinterpret_cast<const unsigned char*>(der.data()), der.size(), hash);
  return std::string(reinterpret_cast<char*>(hash), sizeof(hash));
}

}  // namespace quillet::store_tool
