#include "host/operations.h"

#include <string>

#include "host/answer.h"
#include "host/engine/vekt_quillet_impl.h"
#include "host/result_codes.h"
#include "host/result_error.h"
#include "host/text_conversion.h"

namespace quillet::host {

nlohmann::json PromptCertificateOperation::execute() {
  const std::string storeName = optionalString("storeName");
  VektQuilletImpl engine;
  std::wstring thumbprint;
  std::wstring owner;
  const int result = engine.promptCertificate(Utf8ToWide(storeName), thumbprint, owner);
  if (result != Ok) throw ResultError(result);
  nlohmann::json answer = makeSuccessAnswer();
  answer["content"] = {{"thumbprint", WideToUtf8(thumbprint)}, {"owner", WideToUtf8(owner)}};
  return answer;
}

}  // namespace quillet::host
