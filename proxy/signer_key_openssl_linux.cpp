#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <cstring>
#include <memory>
#include <vector>

// xmlsec1's base types come before its other headers.
#include <xmlsec/xmlsec.h>

#include <xmlsec/base64.h>
#include <xmlsec/errors.h>
#include <xmlsec/keysmngr.h>
#include <xmlsec/openssl/x509.h>
#include <xmlsec/strings.h>
#include <xmlsec/xmltree.h>

#include "proxy/signer_key_linux.h"
#include "proxy/user_trust_linux.h"
#include "proxy/xml_handles.h"

namespace quillet::proxy {
namespace {

// More certificates than any real signer's chain has; the rest are not read.
constexpr std::size_t kMaxCertificates = 16;
// Signer, intermediates and root.
constexpr int kMaxChainDepth = 8;

void reportError(const char* subject, int reason, const char* message) {
  xmlSecError(__FILE__, __LINE__, "findSignerKey", /*errorObject=*/nullptr, subject, reason, "%s",
              message);
}

// The certificate of one X509Certificate element, or NULL when it is not Base64 DER.
platform::ScopedX509 readCertificate(xmlNodePtr element) {
  ScopedXmlChar text(xmlNodeGetContent(element));
  if (!text) return nullptr;
  const std::size_t length = std::strlen(reinterpret_cast<const char*>(text.get()));
  std::vector<xmlSecByte> der(length + 1);
  xmlSecSize decoded = 0;
  if (xmlSecBase64Decode_ex(text.get(), der.data(), static_cast<xmlSecSize>(der.size()), &decoded) <
      0) {
    return nullptr;
  }
  const unsigned char* at = der.data();
  return platform::ScopedX509(d2i_X509(nullptr, &at, static_cast<long>(decoded)));
}

// The certificates of the KeyInfo's X509Data elements, in document order.
std::vector<platform::ScopedX509> documentCertificates(xmlNodePtr keyInfo) {
  std::vector<platform::ScopedX509> certificates;
  for (xmlNodePtr data = xmlSecGetNextElementNode(keyInfo->children); data != nullptr;
       data = xmlSecGetNextElementNode(data->next)) {
    if (!xmlSecCheckNodeName(data, xmlSecNodeX509Data, xmlSecDSigNs)) continue;
    for (xmlNodePtr item = xmlSecGetNextElementNode(data->children); item != nullptr;
         item = xmlSecGetNextElementNode(item->next)) {
      if (!xmlSecCheckNodeName(item, xmlSecNodeX509Certificate, xmlSecDSigNs)) continue;
      if (certificates.size() == kMaxCertificates) return certificates;
      platform::ScopedX509 certificate = readCertificate(item);
      if (certificate) {
        certificates.push_back(std::move(certificate));
      } else {
        reportError("X509Certificate", XMLSEC_ERRORS_R_INVALID_NODE_CONTENT,
                    "not a DER certificate");
      }
    }
  }
  return certificates;
}

// True when `certificate` issued another certificate of the list: it is then chain
// material, not a candidate signer.
bool issuesAnother(X509* certificate, const std::vector<platform::ScopedX509>& certificates) {
  for (const platform::ScopedX509& other : certificates) {
    if (other.get() != certificate && X509_check_issued(certificate, other.get()) == X509_V_OK) {
      return true;
    }
  }
  return false;
}

// OpenSSL's verification callback: every failure counts, except the signer's own validity
// period (depth 0), which the host's certificate check judges and reports itself.
int allowSignerDates(int ok, X509_STORE_CTX* context) {
  if (ok == 1) return 1;
  const int error = X509_STORE_CTX_get_error(context);
  if (X509_STORE_CTX_get_error_depth(context) == 0 &&
      (error == X509_V_ERR_CERT_HAS_EXPIRED || error == X509_V_ERR_CERT_NOT_YET_VALID)) {
    return 1;
  }
  return 0;
}

// True when the candidate's chain ends at one of the user's roots.
bool chainVerifies(X509* candidate, const UserTrust& trust, STACK_OF(X509) * untrusted) {
  platform::ScopedX509StoreCtx context(X509_STORE_CTX_new());
  if (!context ||
      X509_STORE_CTX_init(context.get(), trust.anchors.get(), candidate, untrusted) != 1) {
    reportError("X509_STORE_CTX_init", XMLSEC_ERRORS_R_CRYPTO_FAILED, "no memory");
    return false;
  }
  X509_STORE_CTX_set_verify_cb(context.get(), allowSignerDates);
  X509_VERIFY_PARAM_set_depth(X509_STORE_CTX_get0_param(context.get()), kMaxChainDepth);
  if (X509_verify_cert(context.get()) == 1) return true;
  char subject[256] = {};
  X509_NAME_oneline(X509_get_subject_name(candidate), subject, sizeof(subject));
  xmlSecError(__FILE__, __LINE__, "findSignerKey", /*errorObject=*/nullptr, "X509_verify_cert",
              XMLSEC_ERRORS_R_CERT_VERIFY_FAILED, "subject=%s; err=%d; msg=%s", subject,
              X509_STORE_CTX_get_error(context.get()),
              X509_verify_cert_error_string(X509_STORE_CTX_get_error(context.get())));
  return false;
}

// A key of the certificate's public key with the certificate as its key certificate, or
// NULL when it is not the key the signature method asks for.
ScopedKey keyOf(X509* certificate, xmlSecKeyInfoCtxPtr context) {
  ScopedKey key(xmlSecKeyCreate());
  if (!key) return nullptr;
  ScopedKeyData value(xmlSecOpenSSLX509CertGetKey(certificate));
  if (!value || xmlSecKeySetValue(key.get(), value.get()) < 0) return nullptr;
  (void)value.release();  // the key holds it now
  xmlSecKeyDataPtr x509 = xmlSecKeyEnsureData(key.get(), xmlSecOpenSSLKeyDataX509Id);
  platform::ScopedX509 copy(X509_dup(certificate));
  if (x509 == nullptr || !copy || xmlSecOpenSSLKeyDataX509AdoptKeyCert(x509, copy.get()) < 0) {
    return nullptr;
  }
  (void)copy.release();  // the key data holds it now
  if (xmlSecKeyMatch(key.get(), /*name=*/nullptr, &context->keyReq) != 1) {
    reportError("X509Certificate", XMLSEC_ERRORS_R_KEY_NOT_FOUND,
                "the certificate's key is not the signature method's");
    return nullptr;
  }
  return key;
}

// Makes the certificate of the optional certificate's key its key certificate. The key
// store holds only that key, made from that one certificate (added twice: as the key's
// source and as its attached certificate), so its first certificate is the one whose
// public key the key is. False when the key has none.
bool nameOptionalCertificate(xmlSecKeyPtr key) {
  xmlSecKeyDataPtr x509 = xmlSecKeyGetData(key, xmlSecOpenSSLKeyDataX509Id);
  if (x509 == nullptr) return false;
  if (xmlSecOpenSSLKeyDataX509GetKeyCert(x509) != nullptr) return true;
  if (xmlSecOpenSSLKeyDataX509GetCertsSize(x509) == 0) return false;
  platform::ScopedX509 copy(X509_dup(xmlSecOpenSSLKeyDataX509GetCert(x509, /*pos=*/0)));
  if (!copy || xmlSecOpenSSLKeyDataX509AdoptKeyCert(x509, copy.get()) < 0) return false;
  (void)copy.release();  // the key data holds it now
  return true;
}

ScopedKey keyFromDocument(xmlNodePtr keyInfo, xmlSecKeyInfoCtxPtr context) {
  const std::vector<platform::ScopedX509> certificates = documentCertificates(keyInfo);
  if (certificates.empty()) return nullptr;
  const UserTrust trust = loadUserTrust();
  platform::ScopedX509BorrowingStack untrusted(sk_X509_new_null());
  if (!trust.anchors || !untrusted) return nullptr;
  for (const platform::ScopedX509& certificate : certificates)
    sk_X509_push(untrusted.get(), certificate.get());
  for (const platform::ScopedX509& certificate : trust.intermediates) {
    sk_X509_push(untrusted.get(), certificate.get());
  }
  for (const platform::ScopedX509& candidate : certificates) {
    if (issuesAnother(candidate.get(), certificates)) continue;
    if (!chainVerifies(candidate.get(), trust, untrusted.get())) continue;
    ScopedKey key = keyOf(candidate.get(), context);
    if (key) return key;
  }
  return nullptr;
}

}  // namespace

xmlSecKeyPtr findSignerKey(xmlNodePtr keyInfo, xmlSecKeyInfoCtxPtr context) {
  if (keyInfo != nullptr) {
    ScopedKey key = keyFromDocument(keyInfo, context);
    if (key) return key.release();
  }
  if (context->keysMngr != nullptr) {
    ScopedKey key(xmlSecKeysMngrFindKey(context->keysMngr, /*name=*/nullptr, context));
    if (key && xmlSecKeyGetValue(key.get()) != nullptr && nameOptionalCertificate(key.get())) {
      return key.release();
    }
  }
  reportError(nullptr, XMLSEC_ERRORS_R_KEY_NOT_FOUND, "no certificate of the trust signs");
  return nullptr;
}

}  // namespace quillet::proxy
