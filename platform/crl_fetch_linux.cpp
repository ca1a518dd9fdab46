#include "platform/crl_fetch_linux.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <memory>
#include <mutex>

#include "platform/debug_output.h"

namespace quillet::platform {
namespace {

// libcurl's soname: the ABI this file is written against (its headers give the types).
constexpr char kCurlSoname[] = "libcurl.so.4";

// The few libcurl functions a fetch uses, bound from the library loaded on the first fetch,
// so that a process that never fetches a CRL never maps libcurl and its dependencies.
struct Curl {
  decltype(&::curl_global_init) globalInit = nullptr;
  decltype(&::curl_easy_init) easyInit = nullptr;
  decltype(&::curl_easy_setopt) easySetopt = nullptr;
  decltype(&::curl_easy_perform) easyPerform = nullptr;
  decltype(&::curl_easy_getinfo) easyGetinfo = nullptr;
  decltype(&::curl_easy_cleanup) easyCleanup = nullptr;
};

template <typename Function>
bool bindSymbol(void* library, const char* name, Function* function, std::string* error) {
  *function = reinterpret_cast<Function>(dlsym(library, name));
  if (*function == nullptr) *error = std::string(kCurlSoname) + " has no " + name;
  return *function != nullptr;
}

// Loads libcurl and makes its process-wide set-up, once; both last until the process ends.
// Returns null, with the reason in *error, when libcurl cannot be had.
const Curl* loadedCurl(std::string* error) {
  static std::once_flag once;
  static Curl curl;
  static bool ready = false;
  static std::string reason;
  std::call_once(once, [] {
    void* library = dlopen(kCurlSoname, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
      const char* why = dlerror();
      reason = std::string("cannot load ") + kCurlSoname + ": " + (why != nullptr ? why : "");
    } else {
      ready = bindSymbol(library, "curl_global_init", &curl.globalInit, &reason) &&
              bindSymbol(library, "curl_easy_init", &curl.easyInit, &reason) &&
              bindSymbol(library, "curl_easy_setopt", &curl.easySetopt, &reason) &&
              bindSymbol(library, "curl_easy_perform", &curl.easyPerform, &reason) &&
              bindSymbol(library, "curl_easy_getinfo", &curl.easyGetinfo, &reason) &&
              bindSymbol(library, "curl_easy_cleanup", &curl.easyCleanup, &reason);
    }
    if (ready && curl.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
      ready = false;
      reason = std::string(kCurlSoname) + ": curl_global_init failed";
    }
    if (!ready) {
      OutputDebugStringA(("QuilletPlatform: CRLs cannot be fetched: " + reason + "\n").c_str());
    }
  });
  if (!ready && error != nullptr) *error = reason;
  return ready ? &curl : nullptr;
}

struct Sink {
  std::string* body;
  bool tooLong = false;
};

size_t collect(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<Sink*>(user);
  const size_t bytes = size * count;
  if (sink->body->size() + bytes > static_cast<size_t>(kMaxCrlBytes)) {
    sink->tooLong = true;
    return 0;  // makes libcurl stop with a write error
  }
  sink->body->append(data, bytes);
  return bytes;
}

bool configure(const Curl& lib, CURL* curl, const std::string& url, long milliseconds, Sink* sink) {
  const auto set = lib.easySetopt;
  return set(curl, CURLOPT_URL, url.c_str()) == CURLE_OK &&
         set(curl, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
         set(curl, CURLOPT_PROTOCOLS_STR, "http") == CURLE_OK &&
         set(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http") == CURLE_OK &&
         set(curl, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
         set(curl, CURLOPT_MAXREDIRS, 3L) == CURLE_OK &&
         set(curl, CURLOPT_TIMEOUT_MS, milliseconds) == CURLE_OK &&
         set(curl, CURLOPT_CONNECTTIMEOUT_MS, milliseconds) == CURLE_OK &&
         set(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxCrlBytes)) == CURLE_OK &&
         set(curl, CURLOPT_WRITEFUNCTION, &collect) == CURLE_OK &&
         set(curl, CURLOPT_WRITEDATA, sink) == CURLE_OK;
}

}  // namespace

bool fetchHttpBody(const std::string& url, std::chrono::steady_clock::time_point deadline,
                   std::string* body, std::string* error) {
  body->clear();
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0) {
    if (error != nullptr) *error = "no time left for the fetch";
    return false;
  }
  const Curl* lib = loadedCurl(error);
  if (lib == nullptr) return false;
  const auto cleanup = [lib](CURL* handle) { lib->easyCleanup(handle); };
  std::unique_ptr<CURL, decltype(cleanup)> curl(lib->easyInit(), cleanup);
  Sink sink{body};
  if (curl == nullptr ||
      !configure(*lib, curl.get(), url, static_cast<long>(left.count()), &sink)) {
    if (error != nullptr) *error = "libcurl could not be set up for " + url;
    return false;
  }
  long status = 0;
  const CURLcode performed = lib->easyPerform(curl.get());
  const bool ok = performed == CURLE_OK &&
                  lib->easyGetinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status) == CURLE_OK &&
                  status == 200 && !sink.tooLong;
  if (!ok) {
    body->clear();
    if (error != nullptr) {
      *error = performed != CURLE_OK ? "fetch of " + url + " failed (libcurl code " +
                                           std::to_string(static_cast<int>(performed)) + ")"
                                     : "fetch of " + url + " answered " + std::to_string(status);
    }
  }
  return ok;
}

}  // namespace quillet::platform
