// The checks a signature passes before xmlsec1 computes anything: what it may ask for is
// decided from its SignedInfo alone, so that a signature that asks for more is refused
// before any reference is read or any digest computed.
#pragma once

#include <libxml/tree.h>

namespace quillet::proxy {

// True when the signature's SignedInfo asks only for what verification accepts
// (proxy/verification_limits.h):
// - its CanonicalizationMethod, SignatureMethod, every Transform and DigestMethod name an
//   accepted algorithm (xmlsec1's reason 35, the algorithm name as subject, otherwise);
// - it holds at most kMaxReferences references (reason 11), each with at most
//   kMaxTransformsPerReference transforms (reason 11);
// - every Reference has a URI, either "" or "#" and a bare ID (no XPointer expression):
//   reason 33 and "uri=..." otherwise;
// - the element a "#id" reference names lies outside every Signature element and is not
//   one (a signed element moved into the signature's Object is not what the document
//   shows): reason 12. The Id attributes inside the signature are made IDs first, as
//   xmlSecDSigCtxVerify makes them, so that "#id" names here what it will name there.
// A SignedInfo that xmlsec1 would not read at all is left to xmlsec1, which fails on it.
// Each refusal is reported through xmlsec1's error callback.
bool signatureShapeAccepted(xmlNodePtr signature);

// True when no two attributes that can serve as an ID (declared as ID, xml:id, or named
// "Id", "ID" or "id" without a namespace) hold the same value anywhere in the document;
// otherwise a "#value" reference could name another element than the one shown. A
// duplicate is reported through xmlsec1's error callback (reason 12).
bool idsAreUnique(xmlDocPtr doc);

// True when the canonicalizations of the signature's document stay within
// kMaxNamespaceWork (proxy/verification_limits.h). libxml2's canonicalization looks, at
// every element, at every namespace declaration in scope and searches each up the
// ancestors, and exclusive canonicalization searches every prefix of an
// InclusiveNamespaces PrefixList the same way: the work is the sum over the elements of
//   (declarations in scope + PrefixList prefixes of SignedInfo + 1) x
//   (declarations in scope + depth) x
//   (1 + references + their transforms),
// which a few kilobytes of declarations make minutes. Reason 11 otherwise.
bool namespaceWorkBounded(xmlNodePtr signature);

}  // namespace quillet::proxy
