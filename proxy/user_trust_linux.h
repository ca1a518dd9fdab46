// What a verification trusts on Linux, the way Windows' chain engine does for the current
// user: the certificates of the user's Root store are the trust anchors, those of the CA
// store intermediates that count only through an anchor. Nothing else is trusted: not the
// system's TLS bundle, which holds no GOST roots. Included only by the OpenSSL back end.
#pragma once

#include <openssl/x509.h>

#include <memory>
#include <vector>

namespace quillet::proxy {

struct X509StoreFree {
  void operator()(X509_STORE* store) const { X509_STORE_free(store); }
};
struct X509Free {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
using X509StorePtr = std::unique_ptr<X509_STORE, X509StoreFree>;
using X509Ptr = std::unique_ptr<X509, X509Free>;

struct UserTrust {
  // The Root store's certificates; OpenSSL ends a chain only at a self-signed one.
  X509StorePtr anchors;
  // The CA store's certificates that do not name themselves as their issuer (a
  // self-issued one could only end a chain as a root, which "CA" must not make).
  std::vector<X509Ptr> intermediates;
};

// Reads the user's Root and CA stores. A store that cannot be opened, or a certificate
// OpenSSL cannot take, is left out and reported through xmlsec1's error callback: the
// chains it would have completed do not verify. anchors is NULL only when OpenSSL has no
// memory for an empty store.
UserTrust loadUserTrust();

}  // namespace quillet::proxy
