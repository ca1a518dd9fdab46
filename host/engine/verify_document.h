// Verifying a document with the signing engine, between the "verify" operation and the
// engine.
#pragma once

#include <string>

namespace quillet::host {

// Verifies the signature of document (UTF-8 XML text), with certificateBody (Base64 DER,
// empty for none) as an additional verification key. Returns on success; throws a
// ResultError with the code's message otherwise (209 for a text holding a NUL character,
// before the engine is made).
void verifyDocument(const std::string& document, const std::string& certificateBody);

}  // namespace quillet::host
