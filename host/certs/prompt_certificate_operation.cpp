#include "host/certs/prompt_certificate_operation.h"

#include <string>

#include "host/result_codes.h"
#include "host/result_error.h"
#include "host/text_conversion.h"

nlohmann::json PromptCertificateOperation::execute() {
  std::wstring storeName = Utf8ToWide(optionalString("storeName"));
  (void)storeName;
  // The selection dialog is not part of the host yet: no certificate can be chosen.
  throw ResultError(UnexpectedError);
}
