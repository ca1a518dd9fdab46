#include "host/engine/sign_documents.h"

#include <utility>

#include "host/engine/document_text.h"
#include "host/engine/vekt_quillet_impl.h"
#include "host/result_codes.h"
#include "host/result_error.h"
#include "host/text_conversion.h"
#include "host/trace.h"
#include "host/wiped_text.h"

namespace quillet::host {

namespace {

// Refuses a password that cannot reach the key container whole: the container takes a
// NUL-terminated text, so a NUL inside would cut it silently. Traces why (code 201) and
// throws the ResultError of 201.
void refuseUnpassablePassword(const std::wstring& password) {
  if (password.find(L'\0') == std::wstring::npos) return;
  trace(L"password holds a NUL character and cannot be passed to the key container",
        KeyPasswordFailed, 0);
  throw ResultError(KeyPasswordFailed);
}

}  // namespace

std::vector<std::string> signDocuments(const std::vector<std::string*>& documents,
                                       bool signatureOnly, const std::string& storeName,
                                       const std::string& thumbprint, const std::string& password) {
  for (const std::string* document : documents) requireNoNul(*document);
  std::vector<std::wstring> wideDocuments;
  wideDocuments.reserve(documents.size());
  for (std::string* document : documents) {
    wideDocuments.push_back(Utf8ToWide(*document));
    std::string().swap(*document);
  }

  VektQuilletImpl engine;
  // The wide copy of the PIN is wiped on every path out of here, as the caller wipes its own.
  const WipedText<std::wstring> widePassword([&password] { return Utf8ToWide(password); });
  const std::wstring wideThumbprint = Utf8ToWide(thumbprint);
  const std::wstring wideStoreName = Utf8ToWide(storeName);

  refuseUnpassablePassword(widePassword.text);

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

}  // namespace quillet::host
