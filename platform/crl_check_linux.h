// Inside the platform library on Linux: what a set of CRLs says about one certificate, and
// the process's cache of the CRL files of the user's stores.
#pragma once

#include <openssl/x509.h>

#include <ctime>

#include "platform/openssl_owned_linux.h"
#include "platform/win_types.h"

namespace quillet::platform {

// The verdict of the CRLs on a certificate.
struct CrlVerdict {
  enum Kind { kNoUsableCrl, kNotRevoked, kRevoked };
  Kind kind = kNoUsableCrl;
  // The CRL reason of the entry (CRL_REASON_*), with kRevoked.
  DWORD reason = 0;
  // Seconds since the newest usable CRL was issued, with kNotRevoked and kRevoked.
  DWORD freshnessSeconds = 0;
};

// Returns true when the CRL is one of the issuer's, current at `now`, and trustworthy: its
// issuer name is the issuer's subject, it is not a delta CRL, the issuer's key usage (when it
// has one) allows CRL signing, its signature verifies with the issuer's key, thisUpdate lies
// before `now` and nextUpdate (when present) after it.
bool isUsableCrl(X509_CRL* crl, X509* issuer, std::time_t now);

// Looks the certificate up in those of the CRLs that are usable (isUsableCrl). kRevoked with
// the entry's reason when one lists it (CRL_REASON_UNSPECIFIED when the entry has no reason),
// kNotRevoked when usable CRLs exist and none lists it, kNoUsableCrl when none is usable.
CrlVerdict judgeByCrls(X509* cert, X509* issuer, const ScopedX509Crls& crls, std::time_t now);

// judgeByCrls over the CRLs of the storeCrlFiles() (decodeCrls of each regular file that can
// be read; in that order), through a cache that lives as long as the process:
// - A file's CRLs are decoded once per version of the file. A version is the file's path,
//   device, inode, size, modification and status-change times; any of them changing makes
//   the file read and decoded again. A file whose status changed less than a second before
//   it was read (the kernel's clock may not have ticked between two writes) is read again
//   on every call until it has been stable for that second.
// - A CRL's signature is checked once per issuer key; only a signature that verified is
//   remembered, so a CRL that failed is checked again on every call. Names, key usage and
//   the CRL's dates are judged on every call.
// - Files no longer present are dropped from the cache on the next call.
CrlVerdict judgeByStoreCrls(X509* cert, X509* issuer, std::time_t now);

}  // namespace quillet::platform
