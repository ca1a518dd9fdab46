// PreparePrivateKey and DestroyKey: the signing key made from a certificate and its
// private key.
#include <xmlsec/keys.h>

#include "host/result_codes.h"
#include "platform/win32.h"
#include "proxy/crypto_backend.h"
#include "proxy/export_guard.h"
#include "proxy/pin_buffer.h"
#include "proxy/quillet_proxy.h"
#include "proxy/tracer.h"

namespace quillet::proxy {
namespace {

// Gives the password to the key container as its key-exchange PIN. Returns false after
// tracing the failure (code 201, with the system error when the container refused it).
bool setPin(const Tracer& trace, const BackendKeyData& data, const wchar_t* password) {
  PinBuffer pin;
  switch (pin.assign(password)) {
    case PinBuffer::Fill::kFilled:
      break;
    case PinBuffer::Fill::kNotAscii:
      trace.line(L"password holds characters other than ASCII", KeyPasswordFailed);
      return false;
    case PinBuffer::Fill::kTooLong:
      trace.line(L"password is longer than 40 characters", KeyPasswordFailed);
      return false;
  }
  if (!CryptSetProvParam(backendKeyDataProvider(data), PP_KEYEXCHANGE_PIN, pin.data(),
                         /*dwFlags=*/0)) {
    const DWORD error = GetLastError();
    trace.line(L"CryptSetProvParam call failed", KeyPasswordFailed, error);
    return false;
  }
  return true;
}

int preparePrivateKey(const Tracer& trace, xmlSecKeyPtr* key, PCCERT_CONTEXT certificate,
                      const wchar_t* password) {
  if (certificate == nullptr || key == nullptr) return KeySelectFailed;
  BackendKeyDataPtr data = backendKeyDataFromCertificate(certificate);
  if (!data) return KeySelectFailed;
  if (password != nullptr && password[0] != L'\0' && !setPin(trace, *data, password)) {
    return KeyPasswordFailed;
  }
  xmlSecKeyPtr created = xmlSecKeyCreate();
  *key = created;
  if (created == nullptr) return KeyInitFailed;
  if (!backendSetKeyValue(created, std::move(data))) {
    // A key without its private key cannot sign: it is not handed out.
    xmlSecKeyDestroy(created);
    *key = nullptr;
    return KeyInitFailed;
  }
  if (backendKeyCertificateLoad(created, certificate->pbCertEncoded, certificate->cbCertEncoded) <
      0) {
    return CertificateAddFailed;
  }
  return Ok;
}

}  // namespace
}  // namespace quillet::proxy

int PreparePrivateKey(TraceCallback trace, xmlSecKeyPtr* key, PCCERT_CONTEXT certificate,
                      const wchar_t* password) {
  return quillet::proxy::guardedCall([&] {
    return quillet::proxy::preparePrivateKey(quillet::proxy::Tracer(trace), key, certificate,
                                             password);
  });
}

void DestroyKey(xmlSecKeyPtr key) {
  quillet::proxy::guardedVoidCall([key] {
    if (key != nullptr) xmlSecKeyDestroy(key);
  });
}
