// Inside the platform library: what stands behind a PCCERT_CONTEXT. The CERT_CONTEXT the
// callers see is the first member of a ContextBlock, so that the library finds its data
// from the pointer it handed out.
#pragma once

#include <openssl/types.h>

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/crypt_types.h"
#include "platform/openssl_owned_linux.h"

namespace quillet::platform {

class CertStoreData;
struct CertData;

// The block a PCCERT_CONTEXT points at.
struct ContextBlock {
  CERT_CONTEXT context;
  CertData* data;
};

// One certificate: its DER bytes, the decoded certificate and every buffer CERT_INFO
// points into, plus the properties the store gave it.
struct CertData {
  ContextBlock block{};
  CERT_INFO info{};
  std::vector<BYTE> der;
  ScopedX509 x509;
  std::array<BYTE, 20> sha1{};
  std::string signatureOid;
  std::vector<BYTE> signatureParams;
  std::string keyOid;
  std::vector<BYTE> keyParams;
  std::vector<BYTE> publicKey;
  std::vector<BYTE> serial;
  std::vector<BYTE> issuer;
  std::vector<BYTE> subject;
  std::vector<std::string> extensionOids;
  std::vector<std::vector<BYTE>> extensionValues;
  std::vector<CERT_EXTENSION> extensions;
  // Properties; empty when absent.
  std::wstring friendlyName;
  std::string keyPath;
  // References of a context without a store; a store's contexts count on their store.
  std::atomic<long> references{1};
  CertStoreData* store = nullptr;
  // Key container cached by CryptAcquireCertificatePrivateKey(CRYPT_ACQUIRE_CACHE_FLAG).
  HCRYPTPROV cachedProvider = 0;

  CertData() = default;
  CertData(const CertData&) = delete;
  CertData& operator=(const CertData&) = delete;
  ~CertData();
};

// Decodes one whole DER certificate and fills CERT_INFO and the hash. Returns null when
// the bytes are not exactly one certificate.
std::unique_ptr<CertData> makeCertData(const BYTE* der, std::size_t size);

// Returns the data behind a context handed out by this library.
inline CertData* dataOf(PCCERT_CONTEXT context) {
  return reinterpret_cast<const ContextBlock*>(context)->data;
}

// Adds a reference to a context (to its store for a store's context).
void retainContext(CertData* data);
// Drops a reference to a context (to its store for a store's context).
void releaseContext(CertData* data);

}  // namespace quillet::platform
