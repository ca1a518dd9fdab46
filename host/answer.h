// The answer documents: {"success": true, ...} and {"errorMessage": ..., "success": false}.
// Each call builds a fresh document that the caller owns.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace quillet::host {

// Returns {"success": true}; operations add their "content" afterwards.
nlohmann::json makeSuccessAnswer();
// Returns {"success": false, "errorMessage": "QuilletHost: " + text} for a UTF-8 text.
nlohmann::json makeErrorAnswer(const std::string& text);
// The same for a UTF-16 text, converted with WideToUtf8 (which may throw "bad conversion").
nlohmann::json makeErrorAnswer(const std::wstring& text);

}  // namespace quillet::host
