// The certificate a verification request may bring besides the document: offered to
// xmlsec1 as a known key, so that a document can be verified with it as well as with the
// certificate of its own KeyInfo.
#pragma once

#include <string>

#include <xmlsec/keysmngr.h>

#include "proxy/tracer.h"

namespace quillet::proxy {

// Decodes the Base64 text of a DER certificate and gives a key made from it to the keys
// manager, with the certificate attached. An empty text does nothing. Nothing here stops
// the verification; the outcome is traced:
// - no memory for the decoding buffer: "memory allocation failed" (code 1000);
// - not Base64 (nothing decoded): "xmlSecBase64Decode failed" (code 2);
// - decoded, but not a certificate the back end can take: no line;
// - the manager or the key refused it: "xmlSecCryptoAppDefaultKeysMngrAdoptKey failed"
//   (code 2);
// - loaded: "optional certificate has been loaded" (code 0).
void loadOptionalCertificate(const Tracer& trace, xmlSecKeysMngrPtr manager,
                             const std::string& base64);

}  // namespace quillet::proxy
