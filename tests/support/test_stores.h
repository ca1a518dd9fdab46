// Test stores: a temporary HOME and XDG_DATA_HOME under build/ with the current user's
// certificate store directories of the platform layer in it, filled from the test PKI.
#pragma once

#include <string>
#include <utility>

#include "tests/support/file_bytes.h"  // writeFileOrFail, for what the stores are filled with
#include "tests/support/test_pki.h"

namespace quillet::test {

class TestStores {
 public:
  // Makes a new empty directory under build/test-homes/ and points HOME and
  // XDG_DATA_HOME at it (for this process and the programs it starts).
  TestStores();
  // Restores HOME and XDG_DATA_HOME and removes the directory.
  ~TestStores();
  TestStores(const TestStores&) = delete;
  TestStores& operator=(const TestStores&) = delete;

  // The temporary home directory (also XDG_DATA_HOME).
  const std::string& home() const { return home_; }
  // The directory of a store (made when missing).
  std::string storeDir(const std::string& store) const;

  struct AddOptions {
    bool withKey = true;       // write <stem>.key
    std::string pin;           // encrypt the key with it when not empty
    std::string friendlyName;  // write <stem>.name when not empty
    std::string stem;          // file stem; empty: the thumbprint's hex
    bool pem = false;          // write <stem>.pem instead of DER <stem>.cer

    // Setters for one-line options: AddOptions().withPin("1234").withStem("signer").
    AddOptions& noKey() { return withKey = false, *this; }
    AddOptions& withPin(std::string value) { return pin = std::move(value), *this; }
    AddOptions& withFriendlyName(std::string value) {
      return friendlyName = std::move(value), *this;
    }
    AddOptions& withStem(std::string value) { return stem = std::move(value), *this; }
    AddOptions& asPem() { return pem = true, *this; }
  };
  // Puts the certificate (and its key) into the store. Returns the stem used.
  std::string add(const std::string& store, const Credential& credential,
                  const AddOptions& options);
  std::string add(const std::string& store, const Credential& credential);
  // Puts a CRL into the store as <stem>.crl.
  void addCrl(const std::string& store, const Bytes& crl, const std::string& stem);

 private:
  std::string home_;
  std::string oldHome_;
  std::string oldDataHome_;
  bool hadHome_ = false;
  bool hadDataHome_ = false;
};

}  // namespace quillet::test
