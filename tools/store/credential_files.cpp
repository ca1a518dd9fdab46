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

using quillet::platform::OwnedBio;
using quillet::platform::OwnedKey;
using quillet::platform::OwnedOpenSslBytes;
using quillet::platform::OwnedPkcs12;
using quillet::platform::OwnedX509;
using quillet::platform::OwnedX509Stack;

bool ReadFile(const std::string& path, std::string* bytes, std::string* error) {
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
std::string OpenSslReason() {
  char reason[256] = {};
  ERR_error_string_n(ERR_peek_last_error(), reason, sizeof(reason));
  ERR_clear_error();
  return reason;
}

OwnedBio MemoryOf(const std::string& bytes) {
  return OwnedBio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
}

int PasswordCallback(char* buffer, int size, int /*rwflag*/, void* password) {
  const auto* text = static_cast<const std::string*>(password);
  if (static_cast<int>(text->size()) > size) return -1;
  text->copy(buffer, text->size());
  return static_cast<int>(text->size());
}

bool IsPem(const std::string& bytes) { return bytes.find("-----BEGIN") != std::string::npos; }

}  // namespace

bool ReadCertificate(const std::string& path, Credential* credential, std::string* error) {
  std::string bytes;
  if (!ReadFile(path, &bytes, error)) return false;
  const OwnedBio bio = MemoryOf(bytes);
  OwnedX509 cert(IsPem(bytes) ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)
                              : d2i_X509_bio(bio.get(), nullptr));
  if (cert == nullptr) {
    *error = path + " holds no certificate (" + OpenSslReason() + ")";
    return false;
  }
  credential->cert = std::move(cert);
  return true;
}

bool ReadPrivateKey(const std::string& path, const std::string& password, Credential* credential,
                    std::string* error) {
  QuilletGostEngine();
  std::string bytes;
  if (!ReadFile(path, &bytes, error)) return false;
  const OwnedBio bio = MemoryOf(bytes);
  std::string pass = password;
  OwnedKey key(IsPem(bytes) ? PEM_read_bio_PrivateKey(bio.get(), nullptr, PasswordCallback, &pass)
                            : d2i_PrivateKey_bio(bio.get(), nullptr));
  if (key == nullptr) {
    *error = "cannot read the private key in " + path +
             " (wrong password, or not a key: " + OpenSslReason() + ")";
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

bool ReadPkcs12(const std::string& path, const std::string& password, Credential* credential,
                std::string* error) {
  QuilletGostEngine();
  std::string bytes;
  if (!ReadFile(path, &bytes, error)) return false;
  const OwnedBio bio = MemoryOf(bytes);
  const OwnedPkcs12 pfx(d2i_PKCS12_bio(bio.get(), nullptr));
  if (pfx == nullptr) {
    *error = path + " is not a PKCS#12 file (" + OpenSslReason() + ")";
    return false;
  }
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
  STACK_OF(X509)* others = nullptr;
  const int parsed = PKCS12_parse(pfx.get(), password.c_str(), &key, &cert, &others);
  // The reason first: the owners below release what the parse left, which may touch the
  // error queue.
  const std::string reason = parsed != 1 ? OpenSslReason() : std::string();
  OwnedKey owned_key(key);
  OwnedX509 owned_cert(cert);
  const OwnedX509Stack owned_others(others);
  if (parsed != 1 || owned_cert == nullptr || owned_key == nullptr) {
    *error = parsed != 1 ? "cannot open " + path + ": wrong password? (" + reason + ")"
                         : path + " holds no certificate with a private key";
    return false;
  }
  int length = 0;
  const unsigned char* alias = X509_alias_get0(owned_cert.get(), &length);
  if (alias != nullptr)
    credential->friendly_name.assign(reinterpret_cast<const char*>(alias), length);
  credential->cert = std::move(owned_cert);
  credential->key = std::move(owned_key);
  return true;
}

std::string KeyPem(EVP_PKEY* key, const std::string& pin) {
  const OwnedBio bio(BIO_new(BIO_s_mem()));
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

std::string CertificateDer(X509* cert) {
  unsigned char* out = nullptr;
  const int length = i2d_X509(cert, &out);
  const OwnedOpenSslBytes owned(out);
  return std::string(reinterpret_cast<char*>(out),
                     static_cast<std::size_t>(length > 0 ? length : 0));
}

std::string Thumbprint(X509* cert) {
  const std::string der = CertificateDer(cert);
  unsigned char hash[SHA_DIGEST_LENGTH];
  SHA1(reinterpret_cast<const unsigned char*>(der.data()), der.size(), hash);
  return std::string(reinterpret_cast<char*>(hash), sizeof(hash));
}

}  // namespace quillet::store_tool
