// What a verification may reach: the signed document and nothing else. Documents come
// from web pages; xmlsec1 by default would fetch a Reference (or a KeyInfo's
// RetrievalMethod) whose URI names a file or a URL, run an XSLT transform (which can read
// and write files) and decrypt an EncryptedKey whose cipher data it may fetch as well.
#pragma once

#include <xmlsec/xmldsig.h>

namespace quillet::proxy {

// Limits a new signature context to its document: references and retrieval methods only
// to the whole document ("") or a part of it ("#id", "#xpointer(...)"), every transform
// xmlsec1 knows except XSLT, and no EncryptedKey in a KeyInfo. A signature that asks for
// more fails to verify (xmlSecDSigCtxVerify reports a failure) before anything is read.
// Returns false when the limits could not be set (out of memory); the context must then
// not be used.
bool limitToDocument(xmlSecDSigCtxPtr context);

}  // namespace quillet::proxy
