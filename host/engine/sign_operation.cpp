#include "host/operations.h"

#include <string>
#include <utility>
#include <vector>

#include "host/answer.h"
#include "host/engine/sign_documents.h"
#include "host/escaped_value.h"
#include "host/text_conversion.h"
#include "host/trace.h"
#include "host/wiped_text.h"

namespace quillet::host {

namespace {

// Returns true when value is an array whose elements are all strings.
bool isArrayOfStrings(const nlohmann::json& value) {
  if (!value.is_array()) return false;
  for (const nlohmann::json& element : value) {
    if (!element.is_string()) return false;
  }
  return true;
}

// Traces the request's parameters, their control characters escaped; the password only as
// whether there is one.
void traceParameters(const std::string& storeName, const std::string& thumbprint,
                     const std::string& signatureOnly, bool hasPassword) {
  std::wstring line = L"Sign with parameters:\n";
  line += L"\tstoreName: " + escapedValue(Utf8ToWide(storeName)) + L"\n";
  line += L"\tthumbprint: " + escapedValue(Utf8ToWide(thumbprint)) + L"\n";
  line += L"\treturnSignatureOnly: " + escapedValue(Utf8ToWide(signatureOnly)) + L"\n";
  line += hasPassword ? L"\thas password: 1" : L"\thas password: 0";
  trace(line, 0, 0);
}

}  // namespace

nlohmann::json SignOperation::execute() {
  const nlohmann::json& xmls = requiredParam("xmls");
  std::string storeName = optionalString("storeName");
  std::string thumbprint = optionalString("thumbprint");
  // The PIN: the one copy the operation makes is wiped on every path out of here.
  const WipedText<std::string> password([this] { return optionalString("password"); });
  std::string signatureOnly = optionalString("returnSignatureOnly");
  traceParameters(storeName, thumbprint, signatureOnly, !password.text.empty());
  bool returnSignatureOnly = signatureOnly == "1";
  if (!isArrayOfStrings(xmls)) {
    return makeErrorAnswer(std::string("Параметр 'xmls' должен быть массивом строк"));
  }
  // The documents are handed over, not copied: the request is not read after this.
  std::vector<std::string*> documents;
  documents.reserve(xmls.size());
  for (nlohmann::json& element : message->request.at("xmls")) {
    documents.push_back(&element.get_ref<std::string&>());
  }
  std::vector<std::string> signedDocuments =
      signDocuments(documents, returnSignatureOnly, storeName, thumbprint, password.text);
  nlohmann::json content = nlohmann::json::array();
  for (std::string& signedDocument : signedDocuments) content.push_back(std::move(signedDocument));
  nlohmann::json answer = makeSuccessAnswer();
  answer["content"] = std::move(content);
  return answer;
}

}  // namespace quillet::host
