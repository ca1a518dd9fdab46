// The "getVersion" operation.
#pragma once

#include "host/operation.h"

namespace quillet::host {

// Answers {"content":{"major":1,"minor":2},"success":true}: the program's own constant
// version, read from no resource.
class GetVersionOperation : public Operation {
 protected:
  nlohmann::json execute() override;
};

}  // namespace quillet::host
