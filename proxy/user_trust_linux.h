// What a verification trusts on Linux, the way Windows' chain engine does for the current
// user: the certificates of the user's Root store are the trust anchors, those of the CA
// store intermediates that count only through an anchor. Nothing else is trusted: not the
// system's TLS bundle, which holds no GOST roots. Included only by the OpenSSL back end.
#pragma once

#include <openssl/x509.h>

#include "platform/openssl_owned_linux.h"

#include <memory>
#include <vector>

namespace quillet::proxy {

struct UserTrust {
  // The Root store's certificates; OpenSSL ends a chain only at a self-signed one.
  platform::ScopedX509Store anchors;
  // The CA store's certificates that do not name themselves as their issuer (a
  // self-issued one could only end a chain as a root, which "CA" must not make).
  std::vector<platform::ScopedX509> intermediates;
};

// Reads the user's Root and CA stores. A store that cannot be opened, or a certificate
// OpenSSL cannot take, is left out and reported through xmlsec1's error callback: the
// chains it would have completed do not verify. anchors is NULL only when OpenSSL has no
// memory for an empty store.
UserTrust loadUserTrust();

}  // namespace quillet::proxy
