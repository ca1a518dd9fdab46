// Changing a store directory of the platform layer (platform/cert_store.h describes the
// layout): <thumbprint>.cer, <thumbprint>.key, <thumbprint>.name.
#pragma once

#include <string>
#include <vector>

#include "tools/store/credential_files.h"

namespace quillet::store_tool {

// Longest PIN the signature library hands to a key container (it passes at most 40
// characters of the password).
constexpr std::size_t kLongestPin = 40;

// Checks that a PIN can reach the container through the host: printable ASCII, at most
// kLongestPin characters. Returns false with *error set otherwise.
bool checkPin(const std::string& pin, std::string* error);

// Puts the certificate, its key (encrypted with the PIN when not empty) and the friendly
// name (when not empty) into the store, made when missing. Refuses a certificate the
// store holds already. Files appear whole or not at all: the key and name are written
// before the certificate, each through a temporary file; nothing is left on failure.
bool importCredential(const std::string& store, const Credential& credential,
                      const std::string& pin, const std::string& friendlyName, std::string* error);

// Removes every certificate file of the store whose thumbprint is `thumbprint` (raw
// bytes), with its key and name files. Returns false when there is none.
bool removeCertificate(const std::string& store, const std::string& thumbprint,
                       std::vector<std::string>* removed, std::string* error);

}  // namespace quillet::store_tool
