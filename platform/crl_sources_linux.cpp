#include "platform/crl_sources_linux.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <strings.h>

#include "platform/gost_engine_linux.h"
#include "platform/store_directory_linux.h"

namespace quillet::platform {
namespace {

// The stores whose .crl files serve the revocation check, in the order they are read.
const char* const kCrlStores[] = {"My", "CA", "Root"};

bool hasCrlSuffix(const std::string& name) {
  return name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".crl") == 0;
}

bool decodeDerCrl(const std::string& bytes, ScopedX509Crls* crls) {
  const auto* cursor = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* const end = cursor + bytes.size();
  ScopedX509Crl crl(d2i_X509_CRL(nullptr, &cursor, static_cast<long>(bytes.size())));
  if (crl == nullptr || cursor != end) return false;
  crls->push_back(std::move(crl));
  return true;
}

void decodePemCrls(const std::string& bytes, ScopedX509Crls* crls) {
  const ScopedBio bio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
  if (bio == nullptr) return;
  while (X509_CRL* crl = PEM_read_bio_X509_CRL(bio.get(), nullptr, nullptr, nullptr)) {
    crls->emplace_back(crl);
  }
}

// Returns the URI of a general name when it is an http URL, else the empty string.
std::string httpUri(const GENERAL_NAME* name) {
  if (name->type != GEN_URI) return {};
  const ASN1_IA5STRING* uri = name->d.uniformResourceIdentifier;
  const std::string text(reinterpret_cast<const char*>(ASN1_STRING_get0_data(uri)),
                         static_cast<std::size_t>(ASN1_STRING_length(uri)));
  if (text.size() <= 7 || strncasecmp(text.c_str(), "http://", 7) != 0) return {};
  if (text.find('\0') != std::string::npos) return {};
  return text;
}

}  // namespace

void decodeCrls(const std::string& bytes, ScopedX509Crls* crls) {
  if (bytes.empty()) return;
  QuilletGostEngine();  // before the parse: GOST keys decode only with it
  if (decodeDerCrl(bytes, crls)) return;
  decodePemCrls(bytes, crls);
  ERR_clear_error();
}

std::vector<std::string> storeCrlFiles() {
  std::vector<std::string> paths;
  for (const char* store : kCrlStores) {
    std::string directory;
    std::vector<std::string> names;
    if (!findStoreDirectory(store, &directory) || !listDirectory(directory, &names)) continue;
    for (const std::string& name : names) {
      if (hasCrlSuffix(name)) paths.push_back(directory + "/" + name);
    }
  }
  return paths;
}

std::vector<std::string> httpDistributionPoints(X509* cert) {
  std::vector<std::string> urls;
  auto* points = static_cast<CRL_DIST_POINTS*>(
      X509_get_ext_d2i(cert, NID_crl_distribution_points, nullptr, nullptr));
  if (points == nullptr) return urls;
  for (int i = 0; i < sk_DIST_POINT_num(points); ++i) {
    const DIST_POINT* point = sk_DIST_POINT_value(points, i);
    if (point->distpoint == nullptr || point->distpoint->type != 0) continue;
    const GENERAL_NAMES* names = point->distpoint->name.fullname;
    for (int j = 0; j < sk_GENERAL_NAME_num(names); ++j) {
      std::string url = httpUri(sk_GENERAL_NAME_value(names, j));
      if (!url.empty()) urls.push_back(std::move(url));
    }
  }
  CRL_DIST_POINTS_free(points);
  return urls;
}

}  // namespace quillet::platform
