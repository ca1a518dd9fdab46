// Verify: the first signature of a document checked, with an optional extra certificate
// as a known key, and the signer's certificate judged by the host's check.
#include <libxml/tree.h>
#include <xmlsec/keysmngr.h>
#include <xmlsec/strings.h>
#include <xmlsec/xmldsig.h>
#include <xmlsec/xmltree.h>

#include <memory>
#include <string>

#include "host/result_codes.h"
#include "proxy/crypto_backend.h"
#include "proxy/export_guard.h"
#include "proxy/optional_certificate.h"
#include "proxy/quillet_proxy.h"
#include "proxy/signature_shape.h"
#include "proxy/tracer.h"
#include "proxy/verification_limits.h"
#include "proxy/xml_handles.h"
#include "proxy/xml_parsing.h"

namespace quillet::proxy {
namespace {

// Returns the first Signature element of the XML-Signature namespace in document order,
// the root element itself first, or NULL.
xmlNodePtr findSignature(xmlDocPtr doc) {
  return xmlSecFindNode(xmlDocGetRootElement(doc), xmlSecNodeSignature, xmlSecDSigNs);
}

// Judges a signature that xmlsec1 could check: 217 when it does not match, otherwise the
// check's verdict on the signer's certificate, or 218 when there is no certificate or no
// check.
int judge(xmlSecDSigCtxPtr context, CertificateCheckCallback check) {
  if (context->status != xmlSecDSigStatusSucceeded) return SignatureInvalid;
  if (context->signKey == nullptr || check == nullptr) return SignatureValidCertificateUnchecked;
  const CertificateContextPtr signer = backendSignerCertificate(context->signKey);
  if (!signer) return SignatureValidCertificateUnchecked;
  return check(signer.get());
}

// Verifies the signature element with a keys manager of its own, which also holds the
// optional certificate's key. The context goes before the manager it uses.
int verifySignature(const Tracer& trace, CertificateCheckCallback check, xmlNodePtr signature,
                    const std::string& certificate) {
  ScopedKeysMngr manager(xmlSecKeysMngrCreate());
  if (!manager) return KeysManagerCreateFailed;
  if (backendDefaultKeysManagerInit(manager.get()) != 0) return KeysManagerInitFailed;
  ScopedDSigCtx context(xmlSecDSigCtxCreate(manager.get()));
  if (!context || !limitToDocument(context.get())) return SignatureContextFailed;
  loadOptionalCertificate(trace, manager.get(), certificate);
  if (!signatureShapeAccepted(signature) || !idsAreUnique(signature->doc) ||
      !namespaceWorkBounded(signature)) {
    return VerificationFailed;
  }
  if (xmlSecDSigCtxVerify(context.get(), signature) != 0) return VerificationFailed;
  return judge(context.get(), check);
}

int verifyDocument(const Tracer& trace, CertificateCheckCallback check, const std::string* document,
                   const std::string* certificate) {
  // A NUL inside the text would end the parsed document early, while the caller holds and
  // shows the whole of it.
  const std::string::size_type nul = document != nullptr ? document->find('\0') : std::string::npos;
  if (nul != std::string::npos) {
    trace.line(L"NUL character at offset " + std::to_wstring(nul), XmlParseFailed);
    return XmlParseFailed;
  }
  // The text came as UTF-8 whatever its declaration says.
  std::string refused;
  ScopedXmlDoc doc = document != nullptr
                         ? parseDocument(document->c_str(), &refused, DeclaredEncoding::kIgnore)
                         : nullptr;
  if (!doc || xmlDocGetRootElement(doc.get()) == nullptr) {
    traceParseFailure(trace, refused);
    return XmlParseFailed;
  }
  xmlNodePtr signature = findSignature(doc.get());
  if (signature == nullptr) return SignatureMissing;
  static const std::string kNoCertificate;
  return verifySignature(trace, check, signature,
                         certificate != nullptr ? *certificate : kNoCertificate);
}

}  // namespace
}  // namespace quillet::proxy

int Verify(TraceCallback trace, CertificateCheckCallback check, const std::string* document,
           const std::string* certificate) {
  const quillet::proxy::Tracer tracer(trace);
  const int code = quillet::proxy::guardedCall([&] {
    tracer.line(L"Verify");
    return quillet::proxy::verifyDocument(tracer, check, document, certificate);
  });
  quillet::proxy::guardedVoidCall([&] { tracer.line(L"Verify: " + std::to_wstring(code), code); });
  return code;
}
