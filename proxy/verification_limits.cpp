#include "proxy/verification_limits.h"

#include <initializer_list>

#include <xmlsec/keyinfo.h>
#include <xmlsec/list.h>
#include <xmlsec/strings.h>
#include <xmlsec/transforms.h>

#include "proxy/crypto_backend.h"

#ifdef QUILLET_RSA_STAND_IN
#include <xmlsec/mscrypto/crypto.h>
#endif

namespace quillet::proxy {
namespace {

// The whole document or a part of it; no file, no URL, no other document.
constexpr xmlSecTransformUriType kDocumentOnly =
    xmlSecTransformUriTypeEmpty | xmlSecTransformUriTypeSameDocument;

constexpr GostAlgorithm kGostAlgorithms[] = {
    GostAlgorithm::kR3410_2001, GostAlgorithm::kR3410_2012_256, GostAlgorithm::kR3410_2012_512};

// Calls `accept` with every transform accepted for the use, until it returns false.
template <typename Accept>
bool forEachAccepted(AlgorithmUse use, Accept accept) {
  const std::initializer_list<xmlSecTransformId> canonicalizations = {
      xmlSecTransformInclC14NId,   xmlSecTransformInclC14NWithCommentsId,
      xmlSecTransformInclC14N11Id, xmlSecTransformInclC14N11WithCommentsId,
      xmlSecTransformExclC14NId,   xmlSecTransformExclC14NWithCommentsId};
  switch (use) {
    case AlgorithmUse::kTransform:
      if (!accept(xmlSecTransformEnvelopedId)) return false;
      [[fallthrough]];
    case AlgorithmUse::kCanonicalization:
      for (xmlSecTransformId id : canonicalizations) {
        if (!accept(id)) return false;
      }
      return true;
    case AlgorithmUse::kSignature:
    case AlgorithmUse::kDigest:
      for (GostAlgorithm algorithm : kGostAlgorithms) {
        const SignatureTransforms pair = backendTransforms(algorithm);
        if (!accept(use == AlgorithmUse::kSignature ? pair.signature : pair.digest)) return false;
      }
#ifdef QUILLET_RSA_STAND_IN
      // Only in the test copy of the library for Wine, whose provider has no GOST algorithms:
      // RSA-SHA1 stands in for them so that a verification runs end to end through the
      // Windows back end. The product never accepts it.
      if (!accept(use == AlgorithmUse::kSignature ? xmlSecMSCryptoTransformRsaSha1GetKlass()
                                                  : xmlSecMSCryptoTransformSha1GetKlass())) {
        return false;
      }
#endif
      return true;
  }
  return false;
}

void* listItem(xmlSecTransformId id) { return const_cast<void*>(static_cast<const void*>(id)); }

}  // namespace

bool algorithmAccepted(AlgorithmUse use, const xmlChar* href) {
  if (href == nullptr) return false;
  bool found = false;
  forEachAccepted(use, [&](xmlSecTransformId id) {
    found = id->href != nullptr && xmlStrEqual(id->href, href);
    return !found;
  });
  return found;
}

bool limitToDocument(xmlSecDSigCtxPtr context) {
  context->enabledReferenceUris = kDocumentOnly;
  context->keyInfoReadCtx.retrievalMethodCtx.enabledUris = kDocumentOnly;
  // An EncryptedKey yields a secret key (never a signer's public key) and would be
  // decrypted from cipher data that may name a URL.
  context->keyInfoReadCtx.maxEncryptedKeyLevel = 0;
  // xmlsec1 computes the digests of the Manifest references in an Object before it even
  // reads SignedInfo, with no key and no bound on their number or transforms; their
  // results count for nothing in the verdict.
  context->flags |= XMLSEC_DSIG_FLAGS_IGNORE_MANIFESTS;
  // KeyValue, KeyName, RetrievalMethod and the rest are skipped, never read.
  if (xmlSecPtrListAdd(&context->keyInfoReadCtx.enabledKeyData,
                       const_cast<void*>(static_cast<const void*>(backendX509DataId()))) < 0) {
    return false;
  }
  // A context's list of enabled transforms, once not empty, is the only one it accepts.
  xmlSecPtrListPtr retrieval = &context->keyInfoReadCtx.retrievalMethodCtx.enabledTransforms;
  const bool signedInfo =
      forEachAccepted(
          AlgorithmUse::kCanonicalization,
          [&](auto id) { return xmlSecDSigCtxEnableSignatureTransform(context, id) >= 0; }) &&
      forEachAccepted(AlgorithmUse::kSignature, [&](auto id) {
        return xmlSecDSigCtxEnableSignatureTransform(context, id) >= 0;
      });
  const bool references =
      forEachAccepted(AlgorithmUse::kTransform,
                      [&](auto id) {
                        return xmlSecDSigCtxEnableReferenceTransform(context, id) >= 0 &&
                               xmlSecPtrListAdd(retrieval, listItem(id)) >= 0;
                      }) &&
      forEachAccepted(AlgorithmUse::kDigest, [&](auto id) {
        return xmlSecDSigCtxEnableReferenceTransform(context, id) >= 0;
      });
  return signedInfo && references;
}

}  // namespace quillet::proxy
