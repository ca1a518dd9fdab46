// Signing documents with the signing engine, between the "sign" operation and the engine.
#pragma once

#include <string>
#include <vector>

namespace quillet::host {

// Signs each document (UTF-8 XML text) in order with the certificate of the current user's
// store storeName ("My" when empty) whose SHA-1 thumbprint is the hexadecimal thumbprint, or
// one the user chooses when it is empty, unlocking its key with password (none when empty).
// Returns the signed documents, or the signature elements alone when signatureOnly is set,
// in UTF-8. Throws a ResultError with code 209 for a text holding a NUL character (before
// the engine is made or anyone is asked anything), std::range_error("bad conversion") for a
// text that is not UTF-8, and a
// ResultError with the code's message when the engine reports a non-zero code.
// The documents are taken over: each is emptied (its memory freed) as soon as its UTF-16
// copy is made, so a large document does not live twice while it is signed.
std::vector<std::string> signDocuments(const std::vector<std::string*>& documents,
                                       bool signatureOnly, const std::string& storeName,
                                       const std::string& thumbprint, const std::string& password);

}  // namespace quillet::host
