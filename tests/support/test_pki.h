// Test PKI: real GOST (and RSA) keys, certificates, CRLs and PKCS#12 files made with
// OpenSSL and its GOST engine, for the tests of every subsystem. Nothing here is ever
// committed: every test makes what it needs. Stores to put them in are in
// tests/support/test_stores.h.
#pragma once

#include <openssl/types.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quillet::test {

using Bytes = std::vector<std::uint8_t>;
using KeyPtr = std::shared_ptr<EVP_PKEY>;
using CertPtr = std::shared_ptr<X509>;

// Key algorithms. A certificate's signature algorithm is its issuer's key type:
// GOST R 34.10-2001 with R 34.11-94 (1.2.643.2.2.3), R 34.10-2012 with R 34.11-2012 256
// (1.2.643.7.1.1.3.2) or 512 (1.2.643.7.1.1.3.3), or sha256WithRSAEncryption.
enum class KeyType { kGost2001, kGost2012_256, kGost2012_512, kRsa };

// CertOptions::keyUsage without a key-usage extension.
constexpr int kNoKeyUsage = -1;
// Key-usage bytes (first byte of the BIT STRING, as CertGetIntendedKeyUsage returns it).
constexpr int kDigitalSignature = 0x80;
constexpr int kNonRepudiation = 0x40;
constexpr int kKeyEncipherment = 0x20;
constexpr int kKeyCertSign = 0x04;
constexpr int kCrlSign = 0x02;
constexpr int kSigningUsage = kDigitalSignature | kNonRepudiation;

constexpr long kDay = 24L * 3600L;

// What a certificate holds. Times are seconds relative to now.
struct CertOptions {
  // Subject attributes in encoded order: short names such as "CN", "O", "OU", "C", "L",
  // "emailAddress"; values UTF-8 (Cyrillic welcome). Empty: an empty subject.
  std::vector<std::pair<std::string, std::string>> subject = {{"CN", "Quillet Test Signer"}};
  // rfc822Name of a subject alternative name; empty: no such extension.
  std::string altEmail;
  KeyType keyType = KeyType::kGost2012_256;
  // First key-usage byte (kNoKeyUsage: no extension); a CA gets its own when left alone.
  int keyUsage = kSigningUsage;
  bool ca = false;
  long notBefore = -kDay;
  long notAfter = 365 * kDay;
  // HTTP URL of a CRL distribution point; empty: none.
  std::string crlUrl;
  // Serial number; 0 takes the next free one of the PKI.
  long serial = 0;
};

// A certificate with its private key.
struct Credential {
  CertPtr cert;
  KeyPtr key;

  // DER bytes of the certificate.
  Bytes der() const;
  // PEM text of the certificate.
  std::string pem() const;
  // SHA-1 of the DER bytes (the thumbprint).
  Bytes sha1() const;
  // The thumbprint as bare lower-case hex digits.
  std::string sha1Hex() const;
  // The serial number.
  long serial() const;
};

// A CRL entry. reason: a CRL reason code 0..10 (not 7), or kNoReason for no reason
// extension.
constexpr int kNoReason = -1;
struct Revocation {
  long serial;
  int reason = kNoReason;
};

class TestPki {
 public:
  // Makes the root CA (GOST R 34.10-2012 256, self-signed) and an intermediate CA (the
  // same kind, issued by the root). Fails the calling test (ADD_FAILURE) when the GOST
  // engine is not available.
  TestPki();

  const Credential& root() const { return root_; }
  const Credential& intermediate() const { return intermediate_; }

  // A CA with a key of this type issued by the root (made once per PKI); the
  // certificates it issues carry that type's signature algorithm.
  const Credential& caWithKey(KeyType type);

  // Issues a certificate for the options, signed by `issuer` (the intermediate by default).
  Credential issue(const CertOptions& options);
  Credential issue(const CertOptions& options, const Credential& issuer);
  // A self-signed certificate.
  Credential selfSigned(const CertOptions& options);

  // Makes a CRL of `issuer` revoking the entries, valid from `thisUpdate` to
  // `nextUpdate` (seconds relative to now). DER bytes.
  Bytes makeCrl(const Credential& issuer, const std::vector<Revocation>& revoked,
                long thisUpdate = -3600, long nextUpdate = 7 * kDay);

  // Makes a new key of the type.
  static KeyPtr makeKey(KeyType type);
  // The private key as PKCS#8 PEM, encrypted (PBES2, AES-256) with the PIN unless it is
  // empty.
  static std::string keyPem(const EVP_PKEY* key, const std::string& pin);
  // A PKCS#12 file with the certificate and its key, protected by the password.
  static Bytes makePfx(const Credential& credential, const std::string& password,
                       const std::string& friendlyName = "");
  // Replaces every DER occurrence of one OID by another of the same encoded length (the
  // signature no longer verifies; used to make a GOST R 34.10-94 certificate).
  static Bytes patchOid(Bytes der, const std::string& from, const std::string& to);

 private:
  Credential make(const CertOptions& options, const Credential* issuer);

  Credential root_;
  Credential intermediate_;
  // A deque, so that the references caWithKey hands out stay valid as CAs are added.
  std::deque<std::pair<KeyType, Credential>> cas_;
  long nextSerial_ = 0x1000;
};

// Bare lower-case hex of bytes.
std::string hexOf(const Bytes& bytes);
// A PIN (or any text) of `length` characters, printable ASCII.
std::string pinOfLength(std::size_t length);

}  // namespace quillet::test
