// The ENGINE interface is deprecated in OpenSSL 3 but is the only one the GOST engine has.
#define OPENSSL_SUPPRESS_DEPRECATED 1

#include "platform/gost_engine_linux.h"

#include <openssl/crypto.h>
#include <openssl/engine.h>
#include <openssl/err.h>

#include <cstdlib>
#include <mutex>

namespace {

ENGINE* loadedEngine = nullptr;

void releaseEngine() {
  if (loadedEngine == nullptr) return;
  ENGINE_finish(loadedEngine);
  ENGINE_free(loadedEngine);
  loadedEngine = nullptr;
}

ENGINE* loadEngine() {
  OPENSSL_init_crypto(OPENSSL_INIT_ENGINE_DYNAMIC, nullptr);
  ENGINE* engine = ENGINE_by_id("gost");
  if (engine == nullptr) {
    ERR_clear_error();
    return nullptr;
  }
  if (ENGINE_init(engine) != 1) {
    ENGINE_free(engine);
    ERR_clear_error();
    return nullptr;
  }
  ENGINE_set_default(engine, ENGINE_METHOD_ALL);
  ERR_clear_error();
  // Registered after OpenSSL's own exit handler, so it runs before it.
  std::atexit(releaseEngine);
  return engine;
}

}  // namespace

ENGINE* QuilletGostEngine(void) {
  static std::once_flag once;
  std::call_once(once, [] { loadedEngine = loadEngine(); });
  return loadedEngine;
}
