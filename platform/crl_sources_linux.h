// Inside the platform library on Linux: where the revocation provider gets CRLs from, the
// .crl files of the user's stores and the certificate's CRL distribution points.
#pragma once

#include <openssl/x509.h>

#include <string>
#include <vector>

#include "platform/openssl_owned_linux.h"

namespace quillet::platform {

// Appends the CRLs that bytes hold: one DER CRL (the whole of the bytes), or every CRL of a
// PEM text. Bytes that hold neither add nothing.
void decodeCrls(const std::string& bytes, ScopedX509Crls* crls);

// Returns the paths of the .crl files (name ending in .crl, any letter case; in file name
// order) in the current user's stores My, CA and Root, in that order of stores.
std::vector<std::string> storeCrlFiles();

// Returns the http URLs of the certificate's CRL distribution points (full names only), in
// the certificate's order. Other schemes (ldap, https, file, ...) are left out.
std::vector<std::string> httpDistributionPoints(X509* cert);

}  // namespace quillet::platform
