#include "platform/cert_name.h"

#include <openssl/asn1.h>
#include <openssl/objects.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <string>

#include "platform/cert_data_linux.h"
#include "platform/openssl_owned_linux.h"
#include "platform/utf16_linux.h"

using quillet::platform::CertData;

namespace {

std::wstring wideOf(const ASN1_STRING* value) {
  unsigned char* utf8 = nullptr;
  const int length = ASN1_STRING_to_UTF8(&utf8, value);
  const quillet::platform::ScopedOpenSslBytes owned(utf8);
  std::wstring wide;
  if (length >= 0 &&
      !quillet::platform::wideFromUtf8(std::string(reinterpret_cast<char*>(utf8), length), &wide)) {
    wide.clear();
  }
  return wide;
}

// The value of the first attribute with this NID; false when there is none.
bool firstAttribute(const X509_NAME* name, int nid, std::wstring* value) {
  const int index = X509_NAME_get_index_by_NID(name, nid, -1);
  if (index < 0) return false;
  *value = wideOf(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
  return true;
}

// The first rfc822Name of the subject's (or issuer's) alternative name.
bool alternativeEmail(X509* x509, bool issuer, std::wstring* value) {
  auto* names = static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(
      x509, issuer ? NID_issuer_alt_name : NID_subject_alt_name, nullptr, nullptr));
  bool found = false;
  for (int i = 0; names != nullptr && i < sk_GENERAL_NAME_num(names) && !found; ++i) {
    const GENERAL_NAME* entry = sk_GENERAL_NAME_value(names, i);
    if (entry->type == GEN_EMAIL) {
      *value = wideOf(entry->d.rfc822Name);
      found = true;
    }
  }
  GENERAL_NAMES_free(names);
  return found;
}

std::wstring simpleDisplayName(X509* x509, bool issuer) {
  const X509_NAME* name = issuer ? X509_get_issuer_name(x509) : X509_get_subject_name(x509);
  std::wstring value;
  for (int nid :
       {NID_commonName, NID_organizationalUnitName, NID_organizationName, NID_pkcs9_emailAddress}) {
    if (firstAttribute(name, nid, &value)) return value;
  }
  if (alternativeEmail(x509, issuer, &value)) return value;
  if (X509_NAME_entry_count(name) > 0)
    return wideOf(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, 0)));
  return std::wstring();
}

std::wstring attributeName(X509* x509, bool issuer, const void* oidText) {
  if (oidText == nullptr) return std::wstring();
  ASN1_OBJECT* oid = OBJ_txt2obj(static_cast<const char*>(oidText), /*no_name=*/1);
  if (oid == nullptr) return std::wstring();
  const X509_NAME* name = issuer ? X509_get_issuer_name(x509) : X509_get_subject_name(x509);
  const int index = X509_NAME_get_index_by_OBJ(name, oid, -1);
  ASN1_OBJECT_free(oid);
  return index < 0 ? std::wstring()
                   : wideOf(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
}

std::wstring emailName(X509* x509, bool issuer) {
  std::wstring value;
  if (alternativeEmail(x509, issuer, &value)) return value;
  const X509_NAME* name = issuer ? X509_get_issuer_name(x509) : X509_get_subject_name(x509);
  firstAttribute(name, NID_pkcs9_emailAddress, &value);
  return value;
}

std::wstring nameOf(const CertData& data, DWORD type, bool issuer, const void* para) {
  switch (type) {
    case CERT_NAME_FRIENDLY_DISPLAY_TYPE:
      if (!issuer && !data.friendlyName.empty()) return data.friendlyName;
      return simpleDisplayName(data.x509.get(), issuer);
    case CERT_NAME_SIMPLE_DISPLAY_TYPE:
      return simpleDisplayName(data.x509.get(), issuer);
    case CERT_NAME_ATTR_TYPE:
      return attributeName(data.x509.get(), issuer, para);
    case CERT_NAME_EMAIL_TYPE:
      return emailName(data.x509.get(), issuer);
    default:
      return std::wstring();
  }
}

}  // namespace

DWORD CertGetNameStringW(PCCERT_CONTEXT pCertContext, DWORD dwType, DWORD dwFlags, void* pvTypePara,
                         LPWSTR pszNameString, DWORD cchNameString) {
  std::wstring name;
  if (pCertContext != nullptr) {
    name = nameOf(*quillet::platform::dataOf(pCertContext), dwType,
                  (dwFlags & CERT_NAME_ISSUER_FLAG) != 0, pvTypePara);
  }
  const auto needed = static_cast<DWORD>(name.size() + 1);
  if (pszNameString == nullptr || cchNameString == 0) return needed;
  const DWORD written = needed <= cchNameString ? needed : cchNameString;
  name.copy(pszNameString, written - 1);
  pszNameString[written - 1] = L'\0';
  return written;
}
