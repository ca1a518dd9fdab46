// The "promptCertificate" operation: lets the user choose a certificate of a store of the
// current user in the system's selection dialog.
#pragma once

#include "host/operation.h"

namespace quillet::host {

// Reads "storeName" (optional string; "My" when empty) and answers
// {"content": {"owner": ..., "thumbprint": ...}, "success": true} for the chosen certificate.
class PromptCertificateOperation : public Operation {
 protected:
  nlohmann::json execute() override;
};

}  // namespace quillet::host
