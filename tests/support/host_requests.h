// The requests the tests send to the host, and the error answer it gives.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace quillet::test {

// A "sign" request for the documents with the thumbprint (bare hex or the platform's text),
// store name and password; an empty text leaves its parameter out.
nlohmann::json signRequest(const std::vector<std::string>& documents, const std::string& thumbprint,
                           const std::string& store = "", const std::string& password = "");
// A "verify" request.
nlohmann::json verifyRequest(const std::string& document, const std::string& certificateBody = "");

// The error answer with the host's prefix and the text.
nlohmann::json errorAnswer(const std::string& message);

}  // namespace quillet::test
