#include "platform/crl_check_linux.h"

#include <fcntl.h>
#include <openssl/asn1.h>
#include <openssl/err.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "platform/cert_revocation.h"
#include "platform/crl_sources_linux.h"

namespace quillet::platform {
namespace {

// Returns the time as seconds since the epoch, or 0 when it cannot be read.
std::time_t epochSeconds(const ASN1_TIME* time) {
  std::tm parts{};
  if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1) return 0;
  return timegm(&parts);
}

// Returns the reason code of a CRL entry: its reason extension, else unspecified.
DWORD entryReason(const X509_REVOKED* entry) {
  int critical = 0;
  auto* reason = static_cast<ASN1_ENUMERATED*>(
      X509_REVOKED_get_ext_d2i(entry, NID_crl_reason, &critical, nullptr));
  if (reason == nullptr) return CRL_REASON_UNSPECIFIED;
  const long value = ASN1_ENUMERATED_get(reason);
  ASN1_ENUMERATED_free(reason);
  return (value >= 0 && value <= CRL_REASON_AA_COMPROMISE) ? static_cast<DWORD>(value)
                                                           : CRL_REASON_UNSPECIFIED;
}

bool isCurrent(X509_CRL* crl, std::time_t now) {
  const ASN1_TIME* thisUpdate = X509_CRL_get0_lastUpdate(crl);
  const ASN1_TIME* nextUpdate = X509_CRL_get0_nextUpdate(crl);
  if (thisUpdate == nullptr || X509_cmp_time(thisUpdate, &now) != -1) return false;
  return nextUpdate == nullptr || X509_cmp_time(nextUpdate, &now) == 1;
}

// Everything isUsableCrl asks but the signature and the dates.
bool nameAndUsageFit(X509_CRL* crl, X509* issuer) {
  if (X509_NAME_cmp(X509_CRL_get_issuer(crl), X509_get_subject_name(issuer)) != 0) return false;
  if (X509_CRL_get_ext_by_NID(crl, NID_delta_crl, -1) >= 0) return false;
  return (X509_get_key_usage(issuer) & KU_CRL_SIGN) != 0;
}

bool signatureVerifies(X509_CRL* crl, X509* issuer) {
  EVP_PKEY* key = X509_get0_pubkey(issuer);
  const bool verified = key != nullptr && X509_CRL_verify(crl, key) == 1;
  ERR_clear_error();
  return verified;
}

// The verdict of the CRLs 0..count-1 (crlAt(i)), of which usable(i) tells which count.
template <typename CrlAt, typename Usable>
CrlVerdict judge(X509* cert, std::size_t count, CrlAt crlAt, Usable usable, std::time_t now) {
  CrlVerdict verdict;
  std::time_t newest = 0;
  for (std::size_t i = 0; i < count; ++i) {
    X509_CRL* crl = crlAt(i);
    if (!usable(i)) continue;
    newest = std::max(newest, epochSeconds(X509_CRL_get0_lastUpdate(crl)));
    X509_REVOKED* entry = nullptr;
    if (X509_CRL_get0_by_serial(crl, &entry, X509_get0_serialNumber(cert)) > 0) {
      verdict.kind = CrlVerdict::kRevoked;
      verdict.reason = entryReason(entry);
      break;
    }
    verdict.kind = CrlVerdict::kNotRevoked;
  }
  if (verdict.kind != CrlVerdict::kNoUsableCrl && newest > 0 && newest <= now) {
    verdict.freshnessSeconds = static_cast<DWORD>(now - newest);
  }
  return verdict;
}

// How long a file's status must have stood still before its read can be trusted to be its
// content: status times advance in clock ticks, so two writes within one tick can leave the
// same times behind.
constexpr long kStableSeconds = 1;

// One version of a file, as its status tells it.
struct FileVersion {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  explicit FileVersion(const struct stat& info)
      : device(info.st_dev),
        inode(info.st_ino),
        size(info.st_size),
        modified(info.st_mtim),
        changed(info.st_ctim) {}
  bool operator==(const FileVersion& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
           changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
  }
};

// A CRL of a file with the issuer keys (DER SubjectPublicKeyInfo) its signature verified
// with.
struct CachedCrl {
  ScopedX509Crl crl;
  std::vector<std::string> verifiedKeys;
};

struct CachedFile {
  std::string path;
  FileVersion version;
  // True when the file's status stood still long enough before it was read.
  bool stable = false;
  std::vector<CachedCrl> crls;
};

std::string publicKeyDer(X509* cert) { return derOf(X509_get_X509_PUBKEY(cert), i2d_X509_PUBKEY); }

// Reads the rest of an open file. False on a read error.
bool readAll(int fd, std::string* bytes) {
  char buffer[16384];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) return false;
    bytes->append(buffer, static_cast<std::size_t>(got));
  }
}

class StoreCrlCache {
 public:
  CrlVerdict judge(X509* cert, X509* issuer, std::time_t now) {
    std::lock_guard<std::mutex> lock(mutex_);
    refresh();
    std::vector<CachedCrl*> crls;
    for (CachedFile& file : files_) {
      for (CachedCrl& crl : file.crls) crls.push_back(&crl);
    }
    const std::string key = publicKeyDer(issuer);
    return quillet::platform::judge(
        cert, crls.size(), [&](std::size_t i) { return crls[i]->crl.get(); },
        [&](std::size_t i) { return isUsable(crls[i], issuer, key, now); }, now);
  }

 private:
  static bool isUsable(CachedCrl* cached, X509* issuer, const std::string& key, std::time_t now) {
    X509_CRL* crl = cached->crl.get();
    if (!nameAndUsageFit(crl, issuer)) return false;
    std::vector<std::string>& keys = cached->verifiedKeys;
    if (key.empty() || std::find(keys.begin(), keys.end(), key) == keys.end()) {
      if (!signatureVerifies(crl, issuer)) return false;
      if (!key.empty()) keys.push_back(key);
    }
    return isCurrent(crl, now);
  }

  // Makes files_ the store's CRL files as they are now, keeping the decoded CRLs of every
  // file whose version is the one cached.
  void refresh() {
    std::vector<CachedFile> fresh;
    for (const std::string& path : storeCrlFiles()) {
      timespec readAt{};
      clock_gettime(CLOCK_REALTIME, &readAt);
      const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) continue;
      struct stat info {};
      if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        CachedFile* held = find(path);
        if (held != nullptr && held->stable && held->version == FileVersion(info)) {
          fresh.push_back(std::move(*held));
        } else {
          load(fd, path, info, readAt, &fresh);
        }
      }
      close(fd);
    }
    files_ = std::move(fresh);
  }

  CachedFile* find(const std::string& path) {
    for (CachedFile& file : files_) {
      if (file.path == path) return &file;
    }
    return nullptr;
  }

  static void load(int fd, const std::string& path, const struct stat& info, const timespec& readAt,
                   std::vector<CachedFile>* files) {
    std::string bytes;
    if (!readAll(fd, &bytes)) return;
    ScopedX509Crls decoded;
    decodeCrls(bytes, &decoded);
    CachedFile file{path, FileVersion(info), false, {}};
    file.stable = info.st_ctim.tv_sec + kStableSeconds < readAt.tv_sec ||
                  (info.st_ctim.tv_sec + kStableSeconds == readAt.tv_sec &&
                   info.st_ctim.tv_nsec <= readAt.tv_nsec);
    for (ScopedX509Crl& crl : decoded) file.crls.push_back(CachedCrl{std::move(crl), {}});
    files->push_back(std::move(file));
  }

  std::mutex mutex_;
  std::vector<CachedFile> files_;
};

}  // namespace

bool isUsableCrl(X509_CRL* crl, X509* issuer, std::time_t now) {
  return nameAndUsageFit(crl, issuer) && signatureVerifies(crl, issuer) && isCurrent(crl, now);
}

CrlVerdict judgeByCrls(X509* cert, X509* issuer, const ScopedX509Crls& crls, std::time_t now) {
  return judge(
      cert, crls.size(), [&](std::size_t i) { return crls[i].get(); },
      [&](std::size_t i) { return isUsableCrl(crls[i].get(), issuer, now); }, now);
}

CrlVerdict judgeByStoreCrls(X509* cert, X509* issuer, std::time_t now) {
  static StoreCrlCache cache;
  return cache.judge(cert, issuer, now);
}

}  // namespace quillet::platform
