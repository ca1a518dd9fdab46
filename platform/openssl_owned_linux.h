// Inside the platform library on Linux: owners for the OpenSSL objects the revocation
// provider handles, so that every path out of a function frees them.
#pragma once

#include <openssl/x509.h>

#include <memory>
#include <vector>

namespace quillet::platform {

struct X509Deleter {
  void operator()(X509* cert) const { X509_free(cert); }
};
struct X509CrlDeleter {
  void operator()(X509_CRL* crl) const { X509_CRL_free(crl); }
};

using OwnedX509 = std::unique_ptr<X509, X509Deleter>;
using OwnedCrl = std::unique_ptr<X509_CRL, X509CrlDeleter>;
using OwnedCrls = std::vector<OwnedCrl>;

}  // namespace quillet::platform
