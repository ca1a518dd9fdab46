// Inside the platform library: an open certificate store, the snapshot of one store
// directory taken when it was opened.
//
// References: each CertOpenStore handle and each outstanding reference to one of its
// contexts count; the store and all its contexts are freed with the last one, so a
// context stays valid after CertCloseStore until it is freed itself.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/cert_data_linux.h"

namespace quillet::platform {

class CertStoreData {
 public:
  // An empty store with one open handle (one reference).
  CertStoreData();
  CertStoreData(const CertStoreData&) = delete;
  CertStoreData& operator=(const CertStoreData&) = delete;

  // Reads every certificate file of the directory (see platform/cert_store.h), in file
  // name order. Returns false when the directory cannot be read.
  bool load(const std::string& directory);

  // Takes a certificate into the store; a certificate already held (same SHA-1) is
  // dropped. The store owns its certificates.
  void add(std::unique_ptr<CertData> data);

  // The certificates in enumeration order; the store owns them.
  const std::vector<std::unique_ptr<CertData>>& certificates() const { return certificates_; }

  // Position of a context of this store in certificates(), or -1 when it is not one.
  long indexOf(PCCERT_CONTEXT context) const;

  // Handle references: one per open handle plus one per outstanding context reference.
  void retain();
  // Drops one reference; the last one deletes the store and its certificates.
  void release();

  // Open handles and all references (handles plus context references).
  long openHandles() const { return openHandles_.load(); }
  long references() const { return references_.load(); }
  // Closes one open handle (drops its reference). Returns false when none was open.
  bool closeHandle();

 private:
  ~CertStoreData() = default;

  std::vector<std::unique_ptr<CertData>> certificates_;
  std::atomic<long> references_{1};
  std::atomic<long> openHandles_{1};
};

// Returns the store behind a handle from CertOpenStore, or null for a handle this library
// did not hand out (or already closed for the last time).
CertStoreData* storeOf(HCERTSTORE handle);

}  // namespace quillet::platform
