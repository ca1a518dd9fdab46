#include "host/operations.h"

#include "host/answer.h"

namespace quillet::host {

nlohmann::json GetVersionOperation::execute() {
  nlohmann::json answer = makeSuccessAnswer();
  answer["content"] = nlohmann::json{{"major", 1}, {"minor", 2}};
  return answer;
}

}  // namespace quillet::host
