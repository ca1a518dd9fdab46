// Reading what a user imports: certificates (DER or PEM), private keys (any PEM or DER
// form OpenSSL reads, encrypted or not) and PKCS#12 files, GOST keys included.
#pragma once

#include <openssl/types.h>

#include <string>

#include "platform/openssl_owned_linux.h"

namespace quillet::store_tool {

// A certificate with (optionally) its private key and the friendly name a PKCS#12 file
// carried.
struct Credential {
  quillet::platform::ScopedX509 cert;
  quillet::platform::ScopedEvpPkey key;
  std::string friendlyName;
};

// Reads a certificate file. Returns false with *error set when it holds none.
bool readCertificate(const std::string& path, Credential* credential, std::string* error);

// Reads a private key file, decrypting it with `password` when it is encrypted, and
// checks that it belongs to the credential's certificate.
bool readPrivateKey(const std::string& path, const std::string& password, Credential* credential,
                    std::string* error);

// Reads a PKCS#12 file with its password: its certificate, key and friendly name.
bool readPkcs12(const std::string& path, const std::string& password, Credential* credential,
                std::string* error);

// The private key as PKCS#8 PEM, encrypted (PBES2, AES-256-CBC) with the PIN unless it is
// empty.
std::string keyToPem(EVP_PKEY* key, const std::string& pin);

// The certificate's DER bytes.
std::string certificateDer(X509* cert);

// The SHA-1 thumbprint of the certificate's DER bytes.
std::string certThumbprint(X509* cert);

}  // namespace quillet::store_tool
