#include "platform/cert_data_linux.h"

#include <openssl/asn1.h>
#include <openssl/objects.h>
#include <openssl/sha.h>
#include <openssl/x509.h>

#include <ctime>

#include "platform/cert_store_data_linux.h"
#include "platform/file_time_convert_linux.h"
#include "platform/gost_engine_linux.h"
#include "platform/key_container_data_linux.h"
#include "platform/openssl_owned_linux.h"

namespace quillet::platform {
namespace {

std::string oidText(const ASN1_OBJECT* object) {
  char buffer[128] = {};
  const int length = OBJ_obj2txt(buffer, sizeof(buffer), object, /*no_name=*/1);
  return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

// DER of an algorithm's parameters; empty when absent.
std::vector<BYTE> parameterBytes(int type, const void* value) {
  if (type == V_ASN1_UNDEF || value == nullptr) return {};
  const ScopedAsn1Type any(ASN1_TYPE_new());
  if (any == nullptr) return {};
  std::vector<BYTE> bytes;
  if (ASN1_TYPE_set1(any.get(), type, value) == 1) {
    unsigned char* out = nullptr;
    const int length = i2d_ASN1_TYPE(any.get(), &out);
    const ScopedOpenSslBytes owned(out);
    if (length > 0) bytes.assign(out, out + length);
  }
  return bytes;
}

void fillAlgorithm(const X509_ALGOR* algorithm, std::string* oid, std::vector<BYTE>* params) {
  const ASN1_OBJECT* object = nullptr;
  int type = V_ASN1_UNDEF;
  const void* value = nullptr;
  X509_ALGOR_get0(&object, &type, &value, algorithm);
  *oid = oidText(object);
  *params = parameterBytes(type, value);
}

std::vector<BYTE> nameBytes(const X509_NAME* name) {
  unsigned char* out = nullptr;
  const int length = i2d_X509_NAME(name, &out);
  const ScopedOpenSslBytes owned(out);
  std::vector<BYTE> bytes;
  if (length > 0) bytes.assign(out, out + length);
  return bytes;
}

// CryptoAPI keeps serial numbers little-endian.
std::vector<BYTE> serialBytes(const ASN1_INTEGER* serial) {
  const unsigned char* data = ASN1_STRING_get0_data(serial);
  std::vector<BYTE> bytes(data, data + ASN1_STRING_length(serial));
  if (bytes.empty()) bytes.push_back(0);
  return std::vector<BYTE>(bytes.rbegin(), bytes.rend());
}

bool fileTimeOf(const ASN1_TIME* time, FILETIME* out) {
  std::tm parts{};
  if (ASN1_TIME_to_tm(time, &parts) != 1) return false;
  *out = fileTimeFromUnix(static_cast<std::int64_t>(timegm(&parts)));
  return true;
}

CRYPT_OBJID_BLOB blobOf(std::vector<BYTE>& bytes) {
  return CRYPT_OBJID_BLOB{static_cast<DWORD>(bytes.size()), bytes.empty() ? nullptr : bytes.data()};
}

bool fillExtensions(CertData* data) {
  const int count = X509_get_ext_count(data->x509.get());
  for (int i = 0; i < count; ++i) {
    X509_EXTENSION* extension = X509_get_ext(data->x509.get(), i);
    data->extensionOids.push_back(oidText(X509_EXTENSION_get_object(extension)));
    const ASN1_OCTET_STRING* value = X509_EXTENSION_get_data(extension);
    const unsigned char* bytes = ASN1_STRING_get0_data(value);
    data->extensionValues.emplace_back(bytes, bytes + ASN1_STRING_length(value));
  }
  // Only now that both vectors are complete do their elements stay where they are.
  for (int i = 0; i < count; ++i) {
    CERT_EXTENSION extension{};
    extension.pszObjId = data->extensionOids[i].data();
    extension.fCritical =
        X509_EXTENSION_get_critical(X509_get_ext(data->x509.get(), i)) ? TRUE : FALSE;
    extension.Value = blobOf(data->extensionValues[i]);
    data->extensions.push_back(extension);
  }
  return true;
}

bool fillInfo(CertData* data) {
  X509* x509 = data->x509.get();
  CERT_INFO& info = data->info;
  const long version = X509_get_version(x509);
  info.dwVersion = static_cast<DWORD>(version < 0 ? 0 : version);
  data->serial = serialBytes(X509_get0_serialNumber(x509));
  fillAlgorithm(X509_get0_tbs_sigalg(x509), &data->signatureOid, &data->signatureParams);
  data->issuer = nameBytes(X509_get_issuer_name(x509));
  data->subject = nameBytes(X509_get_subject_name(x509));
  if (!fileTimeOf(X509_get0_notBefore(x509), &info.NotBefore) ||
      !fileTimeOf(X509_get0_notAfter(x509), &info.NotAfter)) {
    return false;
  }
  const unsigned char* keyBits = nullptr;
  int keyLength = 0;
  X509_ALGOR* keyAlgorithm = nullptr;
  if (X509_PUBKEY_get0_param(nullptr, &keyBits, &keyLength, &keyAlgorithm,
                             X509_get_X509_PUBKEY(x509)) != 1) {
    return false;
  }
  fillAlgorithm(keyAlgorithm, &data->keyOid, &data->keyParams);
  data->publicKey.assign(keyBits, keyBits + keyLength);
  if (!fillExtensions(data)) return false;

  info.SerialNumber = blobOf(data->serial);
  info.SignatureAlgorithm.pszObjId = data->signatureOid.data();
  info.SignatureAlgorithm.Parameters = blobOf(data->signatureParams);
  info.Issuer = blobOf(data->issuer);
  info.Subject = blobOf(data->subject);
  info.SubjectPublicKeyInfo.Algorithm.pszObjId = data->keyOid.data();
  info.SubjectPublicKeyInfo.Algorithm.Parameters = blobOf(data->keyParams);
  info.SubjectPublicKeyInfo.PublicKey.cbData = static_cast<DWORD>(data->publicKey.size());
  info.SubjectPublicKeyInfo.PublicKey.pbData = data->publicKey.data();
  info.cExtension = static_cast<DWORD>(data->extensions.size());
  info.rgExtension = data->extensions.empty() ? nullptr : data->extensions.data();
  return true;
}

}  // namespace

CertData::~CertData() {
  if (cachedProvider != 0) releaseKeyContainer(cachedProvider);
}

std::unique_ptr<CertData> makeCertData(const BYTE* der, std::size_t size) {
  if (der == nullptr || size == 0) return nullptr;
  QuilletGostEngine();  // before the parse: GOST keys decode only with it
  const unsigned char* cursor = der;
  ScopedX509 x509(d2i_X509(nullptr, &cursor, static_cast<long>(size)));
  if (x509 == nullptr) return nullptr;
  auto data = std::make_unique<CertData>();
  data->x509 = std::move(x509);
  if (cursor != der + size) return nullptr;  // trailing bytes: not one whole certificate
  data->der.assign(der, der + size);
  SHA1(data->der.data(), data->der.size(), data->sha1.data());
  if (!fillInfo(data.get())) return nullptr;
  CERT_CONTEXT& context = data->block.context;
  context.dwCertEncodingType = X509_ASN_ENCODING;
  context.pbCertEncoded = data->der.data();
  context.cbCertEncoded = static_cast<DWORD>(data->der.size());
  context.pCertInfo = &data->info;
  context.hCertStore = nullptr;
  data->block.data = data.get();
  return data;
}

void retainContext(CertData* data) {
  if (data->store != nullptr) {
    data->store->retain();
  } else {
    data->references.fetch_add(1);
  }
}

void releaseContext(CertData* data) {
  if (data->store != nullptr) {
    data->store->release();
  } else if (data->references.fetch_sub(1) == 1) {
    delete data;
  }
}

}  // namespace quillet::platform
