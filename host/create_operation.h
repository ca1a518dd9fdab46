// Choosing the operation a request asks for.
#pragma once

#include <memory>

#include "host/browser_message.h"
#include "host/operation.h"

namespace quillet::host {

// Returns a new operation for message, chosen by the request's "actionCode": "sign",
// "verify", "promptCertificate" or "getVersion" (exact, case-sensitive); any other text, no
// "actionCode", or a request that is not an object gives an UnknownOperation. Throws
// JsonTypeError when "actionCode" is present but not a string.
std::unique_ptr<Operation> createOperation(BrowserMessage& message);

}  // namespace quillet::host
