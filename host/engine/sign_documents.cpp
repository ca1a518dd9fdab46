#include "host/engine/sign_documents.h"

#include <utility>

#include "host/engine/document_text.h"
#include "host/engine/vekt_quillet_impl.h"
#include "host/result_codes.h"
#include "host/result_error.h"
#include "host/text_conversion.h"

namespace {

// Holds the wide copy of the password and overwrites it when the request is done, on every
// path, so that no PIN stays behind in freed memory of a long-lived host.
struct WipedPassword {
  explicit WipedPassword(std::wstring value) : text(std::move(value)) {}
  ~WipedPassword() {
    volatile wchar_t* unit = text.data();
    for (std::size_t i = 0; i < text.size(); ++i) unit[i] = L'\0';
  }
  WipedPassword(const WipedPassword&) = delete;
  WipedPassword& operator=(const WipedPassword&) = delete;
  std::wstring text;
};

}  // namespace

std::vector<std::string> signDocuments(const std::vector<const std::string*>& documents,
                                       bool signatureOnly, const std::string& storeName,
                                       const std::string& thumbprint, const std::string& password) {
  for (const std::string* document : documents) requireNoNul(*document);
  std::vector<std::wstring> wideDocuments;
  wideDocuments.reserve(documents.size());
  for (const std::string* document : documents) wideDocuments.push_back(Utf8ToWide(*document));

  VektQuilletImpl engine;
  const WipedPassword widePassword(Utf8ToWide(password));
  const std::wstring wideThumbprint = Utf8ToWide(thumbprint);
  const std::wstring wideStoreName = Utf8ToWide(storeName);

  std::vector<std::wstring> results;
  const int result = engine.sign(wideDocuments, signatureOnly ? 1 : 0, wideStoreName,
                                 wideThumbprint, widePassword.text.c_str(), results);
  if (result != Ok) throw ResultError(result);

  wideDocuments.clear();
  std::vector<std::string> signedDocuments;
  signedDocuments.reserve(results.size());
  for (std::wstring& text : results) {
    signedDocuments.push_back(WideToUtf8(text));
    std::wstring().swap(text);
  }
  return signedDocuments;
}
