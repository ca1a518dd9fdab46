#include "tests/support/host_requests.h"

namespace quillet::test {

nlohmann::json signRequest(const std::vector<std::string>& documents, const std::string& thumbprint,
                           const std::string& store, const std::string& password) {
  nlohmann::json request = {{"actionCode", "sign"}, {"xmls", documents}};
  if (!thumbprint.empty()) request["thumbprint"] = thumbprint;
  if (!store.empty()) request["storeName"] = store;
  if (!password.empty()) request["password"] = password;
  return request;
}

nlohmann::json verifyRequest(const std::string& document, const std::string& certificateBody) {
  nlohmann::json request = {{"actionCode", "verify"}, {"xml", document}};
  if (!certificateBody.empty()) request["certificateBody"] = certificateBody;
  return request;
}

nlohmann::json errorAnswer(const std::string& message) {
  return {{"success", false}, {"errorMessage", "QuilletHost: " + message}};
}

}  // namespace quillet::test
