// The operations a request can ask for, one class each, chosen by createOperation
// (host/create_operation.h) from the request's "actionCode". Each is implemented in the file
// of its name: host/get_version_operation.cpp, host/engine/sign_operation.cpp,
// host/engine/verify_operation.cpp, host/certs/prompt_certificate_operation.cpp and
// host/unknown_operation.cpp.
#pragma once

#include <string>
#include <utility>

#include "host/operation.h"

namespace quillet::host {

// "getVersion": answers {"content":{"major":1,"minor":2},"success":true}, the program's own
// constant version, read from no resource.
class GetVersionOperation : public Operation {
 protected:
  nlohmann::json execute() override;
};

// "sign": signs the documents of "xmls" with a certificate of the current user's store
// "storeName" ("My" when empty), chosen by "thumbprint" or by the user, and answers with the
// signed documents (or signatures alone for "returnSignatureOnly" "1"). Reads "xmls"
// (required), "storeName", "thumbprint", "password" and "returnSignatureOnly" (optional
// strings), traces them (never the password), checks that "xmls" is an array of strings and
// answers {"content": [signed documents in order], "success": true}.
class SignOperation : public Operation {
 protected:
  nlohmann::json execute() override;
};

// "verify": verifies the XML signature of one document and, through the certificate check,
// the certificate that made it. Reads "xml" (required string) and "certificateBody"
// (optional Base64 DER certificate) and answers {"success": true} when the document passed.
class VerifyOperation : public Operation {
 protected:
  nlohmann::json execute() override;
};

// "promptCertificate": lets the user choose a certificate of a store of the current user in
// the system's selection dialog. Reads "storeName" (optional string; "My" when empty) and
// answers {"content": {"owner": ..., "thumbprint": ...}, "success": true} for the chosen
// certificate.
class PromptCertificateOperation : public Operation {
 protected:
  nlohmann::json execute() override;
};

// A request whose "actionCode" is missing or names no operation. Never succeeds: fails with
// "Неизвестный код операции ' " + unknownCode + " '".
class UnknownOperation : public Operation {
 public:
  // Makes the operation for the unmatched code ("" when the request had none).
  explicit UnknownOperation(std::string code) : unknownCode(std::move(code)) {}

  // The "actionCode" text that matched no operation, or "".
  const std::string unknownCode;

 protected:
  nlohmann::json execute() override;
};

}  // namespace quillet::host
