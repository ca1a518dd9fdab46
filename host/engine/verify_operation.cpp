#include "host/operations.h"

#include <string>

#include "host/answer.h"
#include "host/engine/verify_document.h"

namespace quillet::host {

nlohmann::json VerifyOperation::execute() {
  std::string xml = xmlParam();
  std::string certificateBody = optionalString("certificateBody");
  verifyDocument(xml, certificateBody);
  return makeSuccessAnswer();
}

}  // namespace quillet::host
