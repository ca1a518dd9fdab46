#include "host/parse_error_text.h"

namespace quillet::host {

namespace {

using TokenType = nlohmann::detail::lexer_base<nlohmann::json>::token_type;

constexpr char kQuoteStart[] = "; last read: '";

// Returns true when text ends with suffix.
bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Returns the "; expected <token>" part at the end of text (the library's own words, behind
// the closing quote of the token), or "" when text ends with the closing quote itself. Only
// the library's token names are taken, so bytes of the request that look alike are not.
std::string expectedPart(const std::string& text) {
  for (int type = static_cast<int>(TokenType::uninitialized);
       type <= static_cast<int>(TokenType::literal_or_value); ++type) {
    const std::string part =
        std::string("; expected ") +
        nlohmann::detail::lexer_base<nlohmann::json>::token_type_name(static_cast<TokenType>(type));
    if (endsWith(text, "'" + part)) return part;
  }
  return std::string();
}

}  // namespace

std::string parseErrorText(const nlohmann::json::parse_error& error) {
  const std::string text = error.what();
  const std::string::size_type quote = text.find(kQuoteStart);
  if (quote == std::string::npos) return text;
  return text.substr(0, quote) + expectedPart(text);
}

}  // namespace quillet::host
