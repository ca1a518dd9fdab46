// Test stores: a temporary HOME and XDG_DATA_HOME under build/ with the current user's
// certificate store directories of the platform layer in it, filled from the test PKI.
#pragma once

#include <string>
#include <utility>

#include "tests/support/file_bytes.h"  // WriteFileBytes, for what the stores are filled with
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
  std::string StoreDir(const std::string& store) const;

  struct AddOptions {
    bool with_key = true;       // write <stem>.key
    std::string pin;            // encrypt the key with it when not empty
    std::string friendly_name;  // write <stem>.name when not empty
    std::string stem;           // file stem; empty: the thumbprint's hex
    bool pem = false;           // write <stem>.pem instead of DER <stem>.cer

    // Setters for one-line options: AddOptions().Pin("1234").Stem("signer").
    AddOptions& NoKey() { return with_key = false, *this; }
    AddOptions& Pin(std::string value) { return pin = std::move(value), *this; }
    AddOptions& FriendlyName(std::string value) { return friendly_name = std::move(value), *this; }
    AddOptions& Stem(std::string value) { return stem = std::move(value), *this; }
    AddOptions& Pem() { return pem = true, *this; }
  };
  // Puts the certificate (and its key) into the store. Returns the stem used.
  std::string Add(const std::string& store, const Credential& credential,
                  const AddOptions& options);
  std::string Add(const std::string& store, const Credential& credential);
  // Puts a CRL into the store as <stem>.crl.
  void AddCrl(const std::string& store, const Bytes& crl, const std::string& stem);

 private:
  std::string home_;
  std::string old_home_;
  std::string old_data_home_;
  bool had_home_ = false;
  bool had_data_home_ = false;
};

}  // namespace quillet::test
