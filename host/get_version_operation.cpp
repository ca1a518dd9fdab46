#include "host/get_version_operation.h"

#include "host/answer.h"

nlohmann::json GetVersionOperation::execute() {
  nlohmann::json answer = makeSuccessAnswer();
  answer["content"] = nlohmann::json{{"major", 1}, {"minor", 2}};
  return answer;
}
