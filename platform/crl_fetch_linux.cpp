#include "platform/crl_fetch_linux.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace quillet::platform {
namespace {

struct CurlDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

// libcurl's process-wide set-up, made once; it lasts until the process ends.
bool CurlReady() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ready;
}

struct Sink {
  std::string* body;
  bool too_long = false;
};

size_t Collect(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<Sink*>(user);
  const size_t bytes = size * count;
  if (sink->body->size() + bytes > static_cast<size_t>(kMaxCrlBytes)) {
    sink->too_long = true;
    return 0;  // makes libcurl stop with a write error
  }
  sink->body->append(data, bytes);
  return bytes;
}

bool Configure(CURL* curl, const std::string& url, long milliseconds, Sink* sink) {
  return curl_easy_setopt(curl, CURLOPT_URL, url.c_str()) == CURLE_OK &&
         curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
         curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http") == CURLE_OK &&
         curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http") == CURLE_OK &&
         curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
         curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 3L) == CURLE_OK &&
         curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, milliseconds) == CURLE_OK &&
         curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, milliseconds) == CURLE_OK &&
         curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxCrlBytes)) ==
             CURLE_OK &&
         curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Collect) == CURLE_OK &&
         curl_easy_setopt(curl, CURLOPT_WRITEDATA, sink) == CURLE_OK;
}

}  // namespace

bool FetchHttpBody(const std::string& url, std::chrono::steady_clock::time_point deadline,
                   std::string* body) {
  body->clear();
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0 || !CurlReady()) return false;
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  Sink sink{body};
  if (curl == nullptr || !Configure(curl.get(), url, static_cast<long>(left.count()), &sink)) {
    return false;
  }
  long status = 0;
  const bool ok = curl_easy_perform(curl.get()) == CURLE_OK &&
                  curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status) == CURLE_OK &&
                  status == 200 && !sink.too_long;
  if (!ok) body->clear();
  return ok;
}

}  // namespace quillet::platform
