#include "host/engine/verify_document.h"

#include "host/engine/document_text.h"
#include "host/engine/vekt_quillet_impl.h"
#include "host/result_codes.h"
#include "host/result_error.h"

namespace quillet::host {

void verifyDocument(const std::string& document, const std::string& certificateBody) {
  requireNoNul(document);
  VektQuilletImpl engine;
  const int result = engine.verify(document, certificateBody);
  if (result != Ok) throw ResultError(result);
}

}  // namespace quillet::host
