#include "tests/support/test_pki.h"

#include <gtest/gtest.h>
#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <stdexcept>

#include "platform/gost_engine_linux.h"

namespace quillet::test {
namespace {

// Ends the test set-up with a clear message when OpenSSL refuses a step.
void Check(bool ok, const char* step) {
  if (ok) return;
  char reason[256] = {};
  ERR_error_string_n(ERR_get_error(), reason, sizeof(reason));
  ERR_clear_error();
  throw std::runtime_error(std::string("test PKI: ") + step + " failed: " + reason);
}

const EVP_MD* DigestFor(const EVP_PKEY* key) {
  switch (EVP_PKEY_get_base_id(key)) {
    case NID_id_GostR3410_2001:
      return EVP_get_digestbyname("md_gost94");
    case NID_id_GostR3410_2012_256:
      return EVP_get_digestbyname("md_gost12_256");
    case NID_id_GostR3410_2012_512:
      return EVP_get_digestbyname("md_gost12_512");
    default:
      return EVP_sha256();
  }
}

KeyPtr MakeGostKey(int nid, const char* paramset) {
  EVP_PKEY_CTX* context = EVP_PKEY_CTX_new_id(nid, nullptr);
  Check(context != nullptr, "GOST key context (is the GOST engine installed?)");
  EVP_PKEY* key = nullptr;
  const bool ok = EVP_PKEY_keygen_init(context) == 1 &&
                  EVP_PKEY_CTX_ctrl_str(context, "paramset", paramset) > 0 &&
                  EVP_PKEY_keygen(context, &key) == 1;
  EVP_PKEY_CTX_free(context);
  Check(ok, "GOST key generation");
  return KeyPtr(key, EVP_PKEY_free);
}

void AddExtension(X509* cert, X509V3_CTX* context, int nid, const std::string& value,
                  bool critical = false) {
  const std::string text = (critical ? "critical," : "") + value;
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, context, nid, text.c_str());
  Check(extension != nullptr, "extension");
  X509_add_ext(cert, extension, -1);
  X509_EXTENSION_free(extension);
}

void AddKeyUsage(X509* cert, int usage) {
  ASN1_BIT_STRING* bits = ASN1_BIT_STRING_new();
  for (int bit = 0; bit < 8; ++bit) {
    if ((usage & (0x80 >> bit)) != 0) ASN1_BIT_STRING_set_bit(bits, bit, 1);
  }
  Check(X509_add1_ext_i2d(cert, NID_key_usage, bits, /*crit=*/1, X509V3_ADD_DEFAULT) == 1,
        "key usage");
  ASN1_BIT_STRING_free(bits);
}

void SetSubject(X509* cert, const CertOptions& options) {
  X509_NAME* name = X509_get_subject_name(cert);
  for (const auto& [field, value] : options.subject) {
    Check(X509_NAME_add_entry_by_txt(name, field.c_str(), MBSTRING_UTF8,
                                     reinterpret_cast<const unsigned char*>(value.c_str()), -1, -1,
                                     0) == 1,
          "subject attribute");
  }
}

void AddExtensions(X509* cert, X509* issuer_cert, const CertOptions& options) {
  X509V3_CTX context;
  X509V3_set_ctx(&context, issuer_cert, cert, nullptr, nullptr, 0);
  if (options.ca) AddExtension(cert, &context, NID_basic_constraints, "CA:TRUE", true);
  int usage = options.keyUsage;
  if (options.ca && usage == kSigningUsage) usage = kDigitalSignature | kKeyCertSign | kCrlSign;
  if (usage != kNoKeyUsage) AddKeyUsage(cert, usage);
  AddExtension(cert, &context, NID_subject_key_identifier, "hash");
  if (issuer_cert != cert) AddExtension(cert, &context, NID_authority_key_identifier, "keyid");
  if (!options.altEmail.empty()) {
    AddExtension(cert, &context, NID_subject_alt_name, "email:" + options.altEmail);
  }
  if (!options.crlUrl.empty()) {
    AddExtension(cert, &context, NID_crl_distribution_points, "URI:" + options.crlUrl);
  }
}

}  // namespace

Bytes Credential::der() const {
  unsigned char* out = nullptr;
  const int length = i2d_X509(cert.get(), &out);
  Bytes der(out, out + (length > 0 ? length : 0));
  OPENSSL_free(out);
  return der;
}

std::string Credential::pem() const {
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_X509(bio, cert.get());
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio, &data);
  std::string pem(data, static_cast<std::size_t>(length));
  BIO_free(bio);
  return pem;
}

Bytes Credential::sha1() const {
  const Bytes encoded = der();
  Bytes hash(SHA_DIGEST_LENGTH);
  SHA1(encoded.data(), encoded.size(), hash.data());
  return hash;
}

std::string Credential::sha1Hex() const { return hexOf(sha1()); }

long Credential::serial() const { return ASN1_INTEGER_get(X509_get0_serialNumber(cert.get())); }

TestPki::TestPki() {
  if (QuilletGostEngine() == nullptr) {
    ADD_FAILURE() << "the GOST engine of OpenSSL is not available";
    throw std::runtime_error("test PKI: no GOST engine");
  }
  CertOptions root;
  root.subject = {{"C", "RU"}, {"O", "Quillet Test"}, {"CN", "Quillet Test Root CA"}};
  root.ca = true;
  root.notAfter = 3650 * kDay;
  root_ = selfSigned(root);
  CertOptions intermediate = root;
  intermediate.subject = {{"C", "RU"}, {"O", "Quillet Test"}, {"CN", "Quillet Test Issuing CA"}};
  intermediate_ = issue(intermediate, root_);
}

const Credential& TestPki::caWithKey(KeyType type) {
  for (const auto& [held_type, credential] : cas_) {
    if (held_type == type) return credential;
  }
  static const char* const kNames[] = {"GOST 2001", "GOST 2012-256", "GOST 2012-512", "RSA"};
  CertOptions options;
  options.subject = {{"O", "Quillet Test"},
                     {"CN", std::string("Quillet Test CA ") + kNames[static_cast<int>(type)]}};
  options.ca = true;
  options.keyType = type;
  options.notAfter = 3650 * kDay;
  cas_.emplace_back(type, issue(options, root_));
  return cas_.back().second;
}

Credential TestPki::issue(const CertOptions& options) { return make(options, &intermediate_); }

Credential TestPki::issue(const CertOptions& options, const Credential& issuer) {
  return make(options, &issuer);
}

Credential TestPki::selfSigned(const CertOptions& options) { return make(options, nullptr); }

Credential TestPki::make(const CertOptions& options, const Credential* issuer) {
  Credential made;
  made.key = makeKey(options.keyType);
  made.cert = CertPtr(X509_new(), X509_free);
  X509* cert = made.cert.get();
  Check(X509_set_version(cert, 2) == 1, "version");
  ASN1_INTEGER_set(X509_get_serialNumber(cert),
                   options.serial != 0 ? options.serial : nextSerial_++);
  X509_gmtime_adj(X509_getm_notBefore(cert), options.notBefore);
  X509_gmtime_adj(X509_getm_notAfter(cert), options.notAfter);
  SetSubject(cert, options);
  X509* issuer_cert = issuer != nullptr ? issuer->cert.get() : cert;
  EVP_PKEY* issuer_key = issuer != nullptr ? issuer->key.get() : made.key.get();
  X509_set_issuer_name(cert, X509_get_subject_name(issuer_cert));
  Check(X509_set_pubkey(cert, made.key.get()) == 1, "public key");
  AddExtensions(cert, issuer_cert, options);
  Check(X509_sign(cert, issuer_key, DigestFor(issuer_key)) > 0, "certificate signature");
  return made;
}

Bytes TestPki::makeCrl(const Credential& issuer, const std::vector<Revocation>& revoked,
                       long thisUpdate, long nextUpdate) {
  X509_CRL* crl = X509_CRL_new();
  X509_CRL_set_version(crl, 1);
  X509_CRL_set_issuer_name(crl, X509_get_subject_name(issuer.cert.get()));
  ASN1_TIME* last = X509_gmtime_adj(nullptr, thisUpdate);
  ASN1_TIME* next = X509_gmtime_adj(nullptr, nextUpdate);
  X509_CRL_set1_lastUpdate(crl, last);
  X509_CRL_set1_nextUpdate(crl, next);
  for (const Revocation& entry : revoked) {
    X509_REVOKED* item = X509_REVOKED_new();
    ASN1_INTEGER* serial = ASN1_INTEGER_new();
    ASN1_INTEGER_set(serial, entry.serial);
    X509_REVOKED_set_serialNumber(item, serial);
    X509_REVOKED_set_revocationDate(item, last);
    if (entry.reason != kNoReason) {
      ASN1_ENUMERATED* reason = ASN1_ENUMERATED_new();
      ASN1_ENUMERATED_set(reason, entry.reason);
      X509_REVOKED_add1_ext_i2d(item, NID_crl_reason, reason, 0, 0);
      ASN1_ENUMERATED_free(reason);
    }
    X509_CRL_add0_revoked(crl, item);
    ASN1_INTEGER_free(serial);
  }
  X509V3_CTX context;
  X509V3_set_ctx(&context, issuer.cert.get(), nullptr, nullptr, crl, 0);
  X509_EXTENSION* aki =
      X509V3_EXT_conf_nid(nullptr, &context, NID_authority_key_identifier, "keyid");
  if (aki != nullptr) X509_CRL_add_ext(crl, aki, -1);
  X509_EXTENSION_free(aki);
  X509_CRL_sort(crl);
  const bool signed_ok = X509_CRL_sign(crl, issuer.key.get(), DigestFor(issuer.key.get())) > 0;
  unsigned char* out = nullptr;
  const int length = signed_ok ? i2d_X509_CRL(crl, &out) : 0;
  Bytes der(out, out + (length > 0 ? length : 0));
  OPENSSL_free(out);
  ASN1_TIME_free(last);
  ASN1_TIME_free(next);
  X509_CRL_free(crl);
  Check(signed_ok && !der.empty(), "CRL signature");
  return der;
}

KeyPtr TestPki::makeKey(KeyType type) {
  QuilletGostEngine();
  switch (type) {
    case KeyType::kGost2001:
      return MakeGostKey(NID_id_GostR3410_2001, "A");
    case KeyType::kGost2012_256:
      return MakeGostKey(NID_id_GostR3410_2012_256, "A");
    case KeyType::kGost2012_512:
      return MakeGostKey(NID_id_GostR3410_2012_512, "A");
    case KeyType::kRsa:
      break;
  }
  EVP_PKEY* key = EVP_RSA_gen(2048);
  Check(key != nullptr, "RSA key generation");
  return KeyPtr(key, EVP_PKEY_free);
}

std::string TestPki::keyPem(const EVP_PKEY* key, const std::string& pin) {
  BIO* bio = BIO_new(BIO_s_mem());
  const EVP_CIPHER* cipher = pin.empty() ? nullptr : EVP_aes_256_cbc();
  const bool ok =
      PEM_write_bio_PKCS8PrivateKey(bio, const_cast<EVP_PKEY*>(key), cipher,
                                    pin.empty() ? nullptr : const_cast<char*>(pin.data()),
                                    static_cast<int>(pin.size()), nullptr, nullptr) == 1;
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio, &data);
  std::string pem(data, static_cast<std::size_t>(length));
  BIO_free(bio);
  Check(ok, "private key PEM");
  return pem;
}

Bytes TestPki::makePfx(const Credential& credential, const std::string& password,
                       const std::string& friendlyName) {
  PKCS12* pfx =
      PKCS12_create(password.c_str(), friendlyName.empty() ? nullptr : friendlyName.c_str(),
                    credential.key.get(), credential.cert.get(), nullptr, 0, 0, 0, 0, 0);
  Check(pfx != nullptr, "PKCS#12");
  unsigned char* out = nullptr;
  const int length = i2d_PKCS12(pfx, &out);
  Bytes der(out, out + (length > 0 ? length : 0));
  OPENSSL_free(out);
  PKCS12_free(pfx);
  return der;
}

Bytes TestPki::patchOid(Bytes der, const std::string& from, const std::string& to) {
  const auto encode = [](const std::string& oid) {
    ASN1_OBJECT* object = OBJ_txt2obj(oid.c_str(), 1);
    unsigned char* out = nullptr;
    const int length = object != nullptr ? i2d_ASN1_OBJECT(object, &out) : 0;
    Bytes bytes(out, out + (length > 0 ? length : 0));
    OPENSSL_free(out);
    ASN1_OBJECT_free(object);
    return bytes;
  };
  const Bytes old_oid = encode(from);
  const Bytes new_oid = encode(to);
  Check(!old_oid.empty() && old_oid.size() == new_oid.size(), "OID patch (equal lengths)");
  for (std::size_t i = 0; i + old_oid.size() <= der.size(); ++i) {
    if (std::equal(old_oid.begin(), old_oid.end(), der.begin() + static_cast<long>(i))) {
      std::copy(new_oid.begin(), new_oid.end(), der.begin() + static_cast<long>(i));
    }
  }
  return der;
}

std::string hexOf(const Bytes& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (std::uint8_t byte : bytes) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0x0F]);
  }
  return hex;
}

std::string pinOfLength(std::size_t length) {
  static const char kAlphabet[] = "Pin0123456789abcdefghijklmnopqrstuvwxyz";
  std::string pin;
  for (std::size_t i = 0; i < length; ++i) pin.push_back(kAlphabet[i % (sizeof(kAlphabet) - 1)]);
  return pin;
}

}  // namespace quillet::test
