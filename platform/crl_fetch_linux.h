// Inside the platform library on Linux: fetching a CRL from an http distribution point.
#pragma once

#include <chrono>
#include <string>

namespace quillet::platform {

// The longest a CRL body may be; a longer one fails the fetch.
constexpr long kMaxCrlBytes = 16L * 1024 * 1024;

// Fetches the body of an http URL with one GET (libcurl, no signals, at most 3 redirects and
// only to http URLs, proxies as the environment names them). Returns true with the body when
// the server answered 200; false, with the reason in *error when error is not null, when it
// could not be reached, answered anything else, sent more than kMaxCrlBytes, or `deadline`
// passed first. libcurl (libcurl.so.4) is loaded on the first fetch, not at start; when it
// cannot be loaded every fetch fails, and the reason also goes once to the debugger output.
bool fetchHttpBody(const std::string& url, std::chrono::steady_clock::time_point deadline,
                   std::string* body, std::string* error = nullptr);

}  // namespace quillet::platform
