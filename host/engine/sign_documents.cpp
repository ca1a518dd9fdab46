#include "host/engine/sign_documents.h"

#include "host/result_codes.h"
#include "host/result_error.h"
#include "host/text_conversion.h"

std::vector<std::string> signDocuments(const std::vector<std::string>& documents,
                                       bool /*signatureOnly*/, const std::string& /*storeName*/,
                                       const std::string& /*thumbprint*/,
                                       const std::string& /*password*/) {
  std::vector<std::wstring> wideDocuments;
  for (const std::string& document : documents) wideDocuments.push_back(Utf8ToWide(document));
  // The signing engine is not part of the host yet: no request can be signed.
  throw ResultError(UnexpectedError);
}
