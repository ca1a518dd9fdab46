#include "proxy/optional_certificate.h"

#include <climits>
#include <memory>
#include <new>

#include <xmlsec/base64.h>
#include <xmlsec/keys.h>

#include "host/result_codes.h"
#include "proxy/crypto_backend.h"
#include "proxy/xml_handles.h"

namespace quillet::proxy {
namespace {

// Makes a key of the DER certificate and gives it to the manager, then attaches the
// certificate to it. Returns false when either step failed; a key made that the manager
// did not take is destroyed.
bool adoptCertificateKey(xmlSecKeysMngrPtr manager, ScopedKey key, const BYTE* der, DWORD size) {
  if (backendAdoptKey(manager, key.get()) < 0) return false;
  // The manager owns the key from now on.
  xmlSecKeyPtr adopted = key.release();
  return backendKeyCertificateLoad(adopted, der, size) >= 0;
}

}  // namespace

void loadOptionalCertificate(const Tracer& trace, xmlSecKeysMngrPtr manager,
                             const std::string& base64) {
  if (base64.empty()) return;
  // As many bytes as the text has characters: Base64 never decodes to more.
  std::unique_ptr<BYTE[]> buffer(base64.size() <= UINT_MAX ? new (std::nothrow) BYTE[base64.size()]
                                                           : nullptr);
  if (!buffer) {
    trace.line(L"memory allocation failed", OutOfMemory);
    return;
  }
  // xmlSecBase64Decode_ex is xmlSecBase64Decode with the length apart from the status
  // (the older call is deprecated); nothing decoded counts as a failure, as before.
  xmlSecSize decoded = 0;
  if (xmlSecBase64Decode_ex(reinterpret_cast<const xmlChar*>(base64.c_str()), buffer.get(),
                            static_cast<xmlSecSize>(base64.size()), &decoded) < 0 ||
      decoded == 0) {
    trace.line(L"xmlSecBase64Decode failed", CertificateLoadFailed);
    return;
  }
  const DWORD size = static_cast<DWORD>(decoded);
  ScopedKey key(backendKeyFromCertificate(buffer.get(), size));
  if (!key) return;
  if (adoptCertificateKey(manager, std::move(key), buffer.get(), size)) {
    trace.line(L"optional certificate has been loaded");
  } else {
    trace.line(L"xmlSecCryptoAppDefaultKeysMngrAdoptKey failed", CertificateLoadFailed);
  }
}

}  // namespace quillet::proxy
