#include "host/answer.h"

#include "host/text_conversion.h"

namespace quillet::host {

nlohmann::json makeSuccessAnswer() { return nlohmann::json{{"success", true}}; }

nlohmann::json makeErrorAnswer(const std::string& text) {
  return nlohmann::json{{"success", false}, {"errorMessage", "QuilletHost: " + text}};
}

nlohmann::json makeErrorAnswer(const std::wstring& text) {
  return makeErrorAnswer(WideToUtf8(text));
}

}  // namespace quillet::host
