// What a verification may reach and run: the signed document and nothing else, with the
// algorithms this product signs with. Documents come from web pages; xmlsec1 by default
// would fetch a Reference (or a KeyInfo's RetrievalMethod) whose URI names a file or a URL,
// run XSLT and XPath transforms (which can read files, or run for minutes on a small
// document), take a key from the document's own KeyValue, and decrypt an EncryptedKey.
#pragma once

#include <libxml/tree.h>
#include <xmlsec/xmldsig.h>

namespace quillet::proxy {

// The most references a SignedInfo may hold, and Transform elements a Reference may hold.
constexpr int kMaxReferences = 8;
constexpr int kMaxTransformsPerReference = 3;
// The most namespace work of the canonicalizations of the document (signature_shape.h):
// a 1 MB document of 50 000 elements with 20 declarations in scope at depth 10, under one
// reference with two transforms, costs about 1.3e8; about 1.3 s of canonicalization.
constexpr unsigned long long kMaxNamespaceWork = 1ULL << 28;

// Where an algorithm name appears in a signature.
enum class AlgorithmUse {
  kCanonicalization,  // SignedInfo's CanonicalizationMethod
  kSignature,         // SignedInfo's SignatureMethod
  kTransform,         // a Reference's Transform
  kDigest,            // a Reference's DigestMethod
};

// True when the algorithm name is accepted there:
// - canonicalization: inclusive C14N 1.0 and 1.1 and exclusive C14N, each with and without
//   comments;
// - signature: GOST R 34.10-2001, R 34.10-2012 256 and 512 bits, with their digests;
// - transform: the enveloped-signature transform and the canonicalizations above;
// - digest: GOST R 34.11-94, R 34.11-2012 256 and 512 bits.
bool algorithmAccepted(AlgorithmUse use, const xmlChar* href);

// Limits a new signature context to its document and the accepted algorithms: references
// and retrieval methods only to the whole document ("") or a part of it ("#id"), only the
// accepted transforms in SignedInfo and the references, key data of KeyInfo only from
// X509Data, no EncryptedKey, and no Manifest of an Object processed. A signature that asks for more
// fails to verify (xmlSecDSigCtxVerify reports a failure) before anything is read. Returns false
// when the limits could not be set (out of memory); the context must then not be used.
bool limitToDocument(xmlSecDSigCtxPtr context);

}  // namespace quillet::proxy
