// What a verification trusts on Linux, the way Windows' chain engine does for the current
// user: the certificates of the user's Root store are trusted roots, those of the CA store
// intermediates. Included only by the OpenSSL back end.
#pragma once

#include <xmlsec/keysmngr.h>

namespace quillet::proxy {

// Adds the user's Root store to the keys manager's X.509 store as trusted roots and the
// user's CA store as intermediates (chain material that is trusted only through a root).
// A self-issued certificate of the CA store is left out, since it could only end a chain
// as a root. A store that cannot be opened, or a certificate the back end cannot take, is
// left out and reported through xmlsec1's error callback.
void addUserTrust(xmlSecKeysMngrPtr manager);

}  // namespace quillet::proxy
