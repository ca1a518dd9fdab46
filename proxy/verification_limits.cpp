#include "proxy/verification_limits.h"

#include <xmlsec/keyinfo.h>
#include <xmlsec/list.h>
#include <xmlsec/strings.h>
#include <xmlsec/transforms.h>

namespace quillet::proxy {
namespace {

// The whole document or a part of it; no file, no URL, no other document.
constexpr xmlSecTransformUriType kDocumentOnly =
    xmlSecTransformUriTypeEmpty | xmlSecTransformUriTypeSameDocument;

// True for the XSLT transform, by its algorithm name (it is registered only when xmlsec1
// was built with libxslt).
bool isXslt(xmlSecTransformId transform) {
  return transform->href != nullptr && xmlStrEqual(transform->href, xmlSecHrefXslt);
}

// Enables every registered transform but XSLT for SignedInfo, the references and the
// KeyInfo's retrieval methods. A context's list of enabled transforms, once not empty,
// is the only one it accepts.
bool enableTransformsButXslt(xmlSecDSigCtxPtr context) {
  xmlSecPtrListPtr registered = xmlSecTransformIdsGet();
  const xmlSecSize count = xmlSecPtrListGetSize(registered);
  xmlSecPtrListPtr retrieval = &context->keyInfoReadCtx.retrievalMethodCtx.enabledTransforms;
  for (xmlSecSize i = 0; i < count; ++i) {
    const auto transform = static_cast<xmlSecTransformId>(xmlSecPtrListGetItem(registered, i));
    if (transform == nullptr || isXslt(transform)) continue;
    if (xmlSecDSigCtxEnableSignatureTransform(context, transform) < 0 ||
        xmlSecDSigCtxEnableReferenceTransform(context, transform) < 0 ||
        xmlSecPtrListAdd(retrieval, const_cast<void*>(static_cast<const void*>(transform))) < 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool limitToDocument(xmlSecDSigCtxPtr context) {
  context->enabledReferenceUris = kDocumentOnly;
  context->keyInfoReadCtx.retrievalMethodCtx.enabledUris = kDocumentOnly;
  // An EncryptedKey yields a secret key (never a signer's public key) and would be
  // decrypted from cipher data that may name a URL.
  context->keyInfoReadCtx.maxEncryptedKeyLevel = 0;
  return enableTransformsButXslt(context);
}

}  // namespace quillet::proxy
