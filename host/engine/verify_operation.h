// The "verify" operation: verifies the XML signature of one document and, through the
// certificate check, the certificate that made it.
#pragma once

#include "host/operation.h"

namespace quillet::host {

// Reads "xml" (required string) and "certificateBody" (optional Base64 DER certificate) and
// answers {"success": true} when the document passed.
class VerifyOperation : public Operation {
 protected:
  nlohmann::json execute() override;
};

}  // namespace quillet::host
