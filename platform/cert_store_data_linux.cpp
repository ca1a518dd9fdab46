#include "platform/cert_store_data_linux.h"

#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <set>

#include "platform/file_bytes_linux.h"
#include "platform/gost_engine_linux.h"
#include "platform/openssl_owned_linux.h"
#include "platform/store_directory_linux.h"
#include "platform/utf16_linux.h"

namespace quillet::platform {
namespace {

std::mutex& registryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::set<const CertStoreData*>& registry() {
  static auto* stores = new std::set<const CertStoreData*>();
  return *stores;
}

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool isCertificateFile(const std::string& name, std::string* stem) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return false;
  const std::string extension = lowerCase(name.substr(dot));
  if (extension != ".cer" && extension != ".crt" && extension != ".pem") return false;
  *stem = name.substr(0, dot);
  return true;
}

// DER of the file's certificate: the first PEM certificate when the file has one, else
// the file's bytes as they are.
std::string certificateDer(const std::string& bytes) {
  if (bytes.find("-----BEGIN CERTIFICATE-----") == std::string::npos) return bytes;
  QuilletGostEngine();  // before the parse: GOST keys decode only with it
  const ScopedBio bio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
  const ScopedX509 x509(bio != nullptr ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)
                                       : nullptr);
  return x509 != nullptr ? derOf(x509.get(), i2d_X509) : std::string();
}

std::wstring friendlyName(const std::string& path) {
  std::string text;
  std::wstring name;
  if (!readWholeFile(path, &text)) return name;
  const std::size_t end = text.find_first_of("\r\n");
  if (end != std::string::npos) text.resize(end);
  if (!wideFromUtf8(text, &name)) name.clear();
  return name;
}

}  // namespace

CertStoreData::CertStoreData() {
  std::lock_guard<std::mutex> lock(registryMutex());
  registry().insert(this);
}

bool CertStoreData::load(const std::string& directory) {
  std::vector<std::string> names;
  if (!listDirectory(directory, &names)) return false;
  for (const std::string& name : names) {
    std::string stem;
    std::string bytes;
    if (!isCertificateFile(name, &stem) || !readWholeFile(directory + "/" + name, &bytes)) {
      continue;
    }
    const std::string der = certificateDer(bytes);
    auto data = makeCertData(reinterpret_cast<const BYTE*>(der.data()), der.size());
    if (data == nullptr) continue;
    const std::string keyPath = directory + "/" + stem + ".key";
    if (pathExists(keyPath)) data->keyPath = keyPath;
    data->friendlyName = friendlyName(directory + "/" + stem + ".name");
    add(std::move(data));
  }
  return true;
}

void CertStoreData::add(std::unique_ptr<CertData> data) {
  for (const auto& held : certificates_) {
    if (held->sha1 == data->sha1) return;
  }
  data->store = this;
  data->block.context.hCertStore = this;
  certificates_.push_back(std::move(data));
}

long CertStoreData::indexOf(PCCERT_CONTEXT context) const {
  for (std::size_t i = 0; i < certificates_.size(); ++i) {
    if (&certificates_[i]->block.context == context) return static_cast<long>(i);
  }
  return -1;
}

void CertStoreData::retain() { references_.fetch_add(1); }

void CertStoreData::release() {
  if (references_.fetch_sub(1) != 1) return;
  {
    std::lock_guard<std::mutex> lock(registryMutex());
    registry().erase(this);
  }
  delete this;
}

bool CertStoreData::closeHandle() {
  long handles = openHandles_.load();
  do {
    if (handles <= 0) return false;
  } while (!openHandles_.compare_exchange_weak(handles, handles - 1));
  release();
  return true;
}

CertStoreData* storeOf(HCERTSTORE handle) {
  std::lock_guard<std::mutex> lock(registryMutex());
  auto* store = static_cast<CertStoreData*>(handle);
  return registry().count(store) != 0 && store->openHandles() > 0 ? store : nullptr;
}

}  // namespace quillet::platform
