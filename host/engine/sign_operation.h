// The "sign" operation: signs the documents of "xmls" with a certificate of the current
// user's store "storeName" ("My" when empty), chosen by "thumbprint" or by the user, and
// answers with the signed documents (or signatures alone for "returnSignatureOnly" "1").
#pragma once

#include "host/operation.h"

namespace quillet::host {

// Reads "xmls" (required), "storeName", "thumbprint", "password" and "returnSignatureOnly"
// (optional strings), traces them (never the password), checks that "xmls" is an array of
// strings and answers {"content": [signed documents in order], "success": true}.
class SignOperation : public Operation {
 protected:
  nlohmann::json execute() override;
};

}  // namespace quillet::host
