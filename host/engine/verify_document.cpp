#include "host/engine/verify_document.h"

#include "host/result_codes.h"
#include "host/result_error.h"

void verifyDocument(const std::string& /*document*/, const std::string& /*certificateBody*/) {
  // The signing engine is not part of the host yet: no document can be verified.
  throw ResultError(UnexpectedError);
}
