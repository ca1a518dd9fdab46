// Where a verification's key comes from on Linux: a certificate of the signature's own
// KeyInfo whose chain leads to the user's trust, or else the caller's optional certificate.
// Never a KeyValue, a KeyName, a RetrievalMethod, an EncryptedKey or any other key the
// document itself carries. Included only by the OpenSSL back end.
#pragma once

#include <xmlsec/keyinfo.h>
#include <xmlsec/keys.h>

namespace quillet::proxy {

// The keys manager's key lookup (its getKey) for verification:
// 1. Of the X509Certificate elements in the KeyInfo's X509Data elements (at most 16
//    certificates; X509IssuerSerial, X509SubjectName, X509SKI and X509CRL are not read),
//    each one that issued none of the others is a candidate signer. The first candidate
//    whose chain, built from the document's certificates and the user's CA store, ends at
//    a certificate of the user's Root store, and whose key is the one the signature method
//    asks for, gives the key, with that certificate as the key's certificate.
//    Every certificate of the chain is checked at the current time, except that the
//    candidate's own validity period is not: an expired or not yet valid signer reaches
//    the host's certificate check, which rejects it with its own code.
// 2. Otherwise a key of the manager's key store (the optional certificate), as xmlsec1
//    finds it.
// Returns NULL when there is none; xmlsec1 then fails the verification.
xmlSecKeyPtr findSignerKey(xmlNodePtr keyInfo, xmlSecKeyInfoCtxPtr context);

}  // namespace quillet::proxy
