#include "tools/store/store_files.h"

#include <openssl/x509.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/store_directory_linux.h"
#include "tools/store/thumbprint_text.h"

namespace quillet::store_tool {
namespace {

using quillet::platform::findStoreDirectory;

bool makeDirectories(const std::string& path, std::string* error) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = "cannot make " + part + ": " + std::strerror(errno);
      return false;
    }
    if (slash == std::string::npos) return true;
  }
}

// Writes a file through a temporary one, so that it appears whole or not at all.
bool writeWhole(const std::string& path, const std::string& bytes, mode_t mode,
                std::string* error) {
  const std::string temporary = path + ".part";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
      std::remove(temporary.c_str());
      *error = "cannot write " + path;
      return false;
    }
  }
  if (chmod(temporary.c_str(), mode) != 0 || std::rename(temporary.c_str(), path.c_str()) != 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

// The thumbprint of a certificate file of the store, or "" when it holds none.
std::string fileThumbprint(const std::string& path) {
  Credential credential;
  std::string ignored;
  return readCertificate(path, &credential, &ignored) ? certThumbprint(credential.cert.get())
                                                      : std::string();
}

bool isCertificateFile(const std::string& name, std::string* stem) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return false;
  std::string extension = name.substr(dot);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  *stem = name.substr(0, dot);
  return extension == ".cer" || extension == ".crt" || extension == ".pem";
}

// Certificate files of the directory whose thumbprint is `thumbprint`, by stem.
std::vector<std::pair<std::string, std::string>> matchingFiles(const std::string& dir,
                                                               const std::string& thumbprint) {
  std::vector<std::pair<std::string, std::string>> found;
  std::vector<std::string> names;
  if (!quillet::platform::listDirectory(dir, &names)) return found;
  for (const std::string& name : names) {
    std::string stem;
    if (isCertificateFile(name, &stem) && fileThumbprint(dir + "/" + name) == thumbprint) {
      found.emplace_back(name, stem);
    }
  }
  return found;
}

}  // namespace

bool checkPin(const std::string& pin, std::string* error) {
  if (pin.size() > kLongestPin) {
    *error = "the PIN has " + std::to_string(pin.size()) + " characters; the host passes at most " +
             std::to_string(kLongestPin) +
             ", so the key could never be unlocked (choose a shorter "
             "one with --pin)";
    return false;
  }
  for (char c : pin) {
    if (c < 0x20 || c > 0x7E) {
      *error = "the PIN must be printable ASCII: the host passes it as such";
      return false;
    }
  }
  return true;
}

bool importCredential(const std::string& store, const Credential& credential,
                      const std::string& pin, const std::string& friendlyName, std::string* error) {
  if (!checkPin(pin, error)) return false;
  std::string dir;
  if (!findStoreDirectory(store, &dir) &&
      (store.empty() || store.find('/') != std::string::npos || store == "." || store == "..")) {
    *error = "\"" + store + "\" is not a store name";
    return false;
  }
  if (!makeDirectories(dir, error)) return false;
  const std::string thumbprint = certThumbprint(credential.cert.get());
  if (!matchingFiles(dir, thumbprint).empty()) {
    *error = "the store already holds the certificate " + hexText(thumbprint);
    return false;
  }
  std::string stem;
  for (unsigned char byte : thumbprint) {
    static const char kDigits[] = "0123456789abcdef";
    stem += {kDigits[byte >> 4], kDigits[byte & 0x0F]};
  }
  const std::string base = dir + "/" + stem;
  std::string keyPem;
  if (credential.key != nullptr) {
    keyPem = keyToPem(credential.key.get(), pin);
    if (keyPem.empty()) {
      *error = "cannot encode the private key";
      return false;
    }
  }
  const bool written =
      (keyPem.empty() || writeWhole(base + ".key", keyPem, 0600, error)) &&
      (friendlyName.empty() || writeWhole(base + ".name", friendlyName + "\n", 0644, error)) &&
      writeWhole(base + ".cer", certificateDer(credential.cert.get()), 0644, error);
  if (!written) {
    for (const char* extension : {".key", ".name", ".cer"}) std::remove((base + extension).c_str());
  }
  return written;
}

bool removeCertificate(const std::string& store, const std::string& thumbprint,
                       std::vector<std::string>* removed, std::string* error) {
  std::string dir;
  const auto found = findStoreDirectory(store, &dir) ? matchingFiles(dir, thumbprint)
                                                     : decltype(matchingFiles(dir, "")){};
  if (found.empty()) {
    *error = "the store \"" + store + "\" holds no certificate " + hexText(thumbprint);
    return false;
  }
  for (const auto& [name, stem] : found) {
    for (const std::string& file : {name, stem + ".key", stem + ".name"}) {
      const std::string path = dir + "/" + file;
      if (std::remove(path.c_str()) == 0) {
        removed->push_back(path);
      } else if (errno != ENOENT) {
        *error = "cannot remove " + path + ": " + std::strerror(errno);
        return false;
      }
    }
  }
  return true;
}

}  // namespace quillet::store_tool
