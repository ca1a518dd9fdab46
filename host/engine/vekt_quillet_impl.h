// The signing engine: the host's only road to the signature library. Each sign, verify and
// promptCertificate request constructs one engine, which loads the dependency libraries and
// the signature library from the host's directory, binds the exports by name and reports
// every failure as a result code. Libraries are never unloaded.
#pragma once

#include <string>
#include <vector>

#include "host/result_codes.h"
#include "platform/win32.h"
#include "proxy/quillet_proxy.h"

namespace quillet::host {

class VektQuilletImpl {
 public:
  // Binds the engine: sets the character-type locale from the user's locale, traces the
  // host's file version, preloads the dependencies, loads the signature library and binds
  // its exports. Every outcome is left in initCode (0, 105, 106 or 107); nothing is thrown.
  VektQuilletImpl();

  // Returns an earlier binding or initialisation failure without calling InitXmlSec, or
  // initialises the XML-Signature library and returns the result of InitXmlSec.
  int ensureInitialized();

  // Signs every document in order with the certificate found by `thumbprint` in the
  // current user's store `storeName` ("My" when empty), or chosen by the user when the
  // thumbprint is empty. `password` is never null. `results` is emptied first and gets one
  // text per signed document. Returns 0 or the result code of the first failure.
  int sign(const std::vector<std::wstring>& documents, int returnSignatureOnly,
           const std::wstring& storeName, const std::wstring& thumbprint, const wchar_t* password,
           std::vector<std::wstring>& results);

  // Verifies the first signature of `document` (UTF-8) and its signer's certificate, with
  // `certificateBody` (Base64 DER, may be empty) as an additional key. Returns 0 on success
  // (a certificate whose revocation could not be checked counts as success) or the code.
  int verify(const std::string& document, const std::string& certificateBody);

  // Lets the user choose a certificate of the current user's store `storeName` ("My" when
  // empty) in the selection dialog and reads its thumbprint (the platform's hexadecimal
  // text) and owner. Returns 0 or the result code; the texts are complete only on 0.
  int promptCertificate(std::wstring storeName, std::wstring& thumbprint, std::wstring& owner);

  int initCode = Ok;
  decltype(&::InitXmlSec) InitXmlSec = nullptr;
  decltype(&::ShutDownXmlSec) ShutDownXmlSec = nullptr;
  decltype(&::Verify) Verify = nullptr;
  decltype(&::PreparePrivateKey) PreparePrivateKey = nullptr;
  decltype(&::CreateSignatureTemplate) CreateSignatureTemplate = nullptr;
  decltype(&::Sign) Sign = nullptr;
  decltype(&::FreeXmlBuffer) FreeXmlBuffer = nullptr;
  // Release exports of the signature library; bound when present, optional.
  decltype(&::DestroyKey) DestroyKey = nullptr;
  decltype(&::DestroyTemplate) DestroyTemplate = nullptr;

 private:
  // sign's work between the brackets of its scope: opens the store, finds or lets the user
  // choose the certificate, checks it and signs every document; releases all it took.
  int signWithStore(const std::wstring& storeName, const std::vector<std::wstring>& documents,
                    int returnSignatureOnly, const std::wstring& thumbprint,
                    const wchar_t* password, std::vector<std::wstring>& results);
  void bindProxy(const std::wstring& proxyPath);
  void traceBindingLine(HMODULE proxy, const std::wstring& proxyPath) const;
};

}  // namespace quillet::host

// Formats one error report of xmlsec1 as a trace line and writes it with code 0:
// "[file (line) function(object, subject) reason] message", each absent text left out.
extern "C" void xmlSecErrorToTrace(const char* file, int line, const char* func,
                                   const char* errorObject, const char* errorSubject, int reason,
                                   const char* msg);
