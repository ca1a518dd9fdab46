#include "platform/key_cache_linux.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <list>
#include <mutex>
#include <string>

#include "platform/gost_engine_linux.h"

namespace quillet::platform {
namespace {

// An HMAC-SHA256 value.
using Digest = std::array<unsigned char, 32>;

// A few containers: a user signs with one or two certificates.
constexpr std::size_t kMaxEntries = 4;

struct Entry {
  Entry() = default;
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;
  // The text is as secret as the key decoded from it: wiped when the entry goes. Entries
  // never move (a list, reordered by splicing), so no copy of the text is left behind.
  ~Entry() { OPENSSL_cleanse(text.data(), text.capacity()); }

  std::string text;  // the container's PEM text
  bool has_pin = false;
  Digest pin_verifier;  // HMAC-SHA256 of the PIN under the process's key, with has_pin
  ScopedEvpPkey key;
};

struct Cache {
  std::mutex mutex;
  bool keyed = false;
  bool usable = false;  // false when no random key could be made: nothing is cached
  std::array<unsigned char, 32> pin_key{};
  std::list<Entry> entries;  // most recently used first
};

Cache* g_cache = nullptr;

// Gives the kept keys back at exit, before the GOST engine they were made by is released.
void releaseCache() {
  std::lock_guard<std::mutex> lock(g_cache->mutex);
  g_cache->entries.clear();
  OPENSSL_cleanse(g_cache->pin_key.data(), g_cache->pin_key.size());
  g_cache->usable = false;
}

Cache& theCache() {
  static std::once_flag once;
  std::call_once(once, [] {
    // The engine's exit handler is registered when it loads: ours, registered after it,
    // runs before it.
    QuilletGostEngine();
    g_cache = new Cache();
    std::atexit(releaseCache);
  });
  return *g_cache;
}

// Makes the process's PIN key on first use; the caller holds the cache's mutex.
bool ensureKeyed(Cache& cache) {
  if (!cache.keyed) {
    cache.keyed = true;
    cache.usable = RAND_bytes(cache.pin_key.data(), static_cast<int>(cache.pin_key.size())) == 1;
  }
  return cache.usable;
}

// What identifies one decode: the text and, with a PIN, its verifier.
struct Lookup {
  const std::string* text = nullptr;
  bool has_pin = false;
  Digest pin_verifier{};
};

bool makeLookup(const Cache& cache, const std::string& pem, const char* pin, Lookup* lookup) {
  lookup->text = &pem;
  lookup->has_pin = pin != nullptr;
  if (pin == nullptr) return true;
  unsigned int length = 0;
  return HMAC(EVP_sha256(), cache.pin_key.data(), static_cast<int>(cache.pin_key.size()),
              reinterpret_cast<const unsigned char*>(pin), std::strlen(pin),
              lookup->pin_verifier.data(), &length) != nullptr &&
         length == lookup->pin_verifier.size();
}

bool matches(const Entry& entry, const Lookup& lookup) {
  if (entry.text != *lookup.text) return false;
  if (entry.has_pin != lookup.has_pin) return false;
  return !entry.has_pin || CRYPTO_memcmp(entry.pin_verifier.data(), lookup.pin_verifier.data(),
                                         entry.pin_verifier.size()) == 0;
}

}  // namespace

ScopedEvpPkey rememberedKey(const std::string& pem, const char* pin,
                            const std::function<ScopedEvpPkey()>& decode) {
  Cache& cache = theCache();
  Lookup lookup;
  bool cacheable = false;
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    // The random key is made when a PIN first needs it: a container without one does not
    // pay for seeding the random generator.
    cacheable = (pin == nullptr || ensureKeyed(cache)) && makeLookup(cache, pem, pin, &lookup);
    if (cacheable) {
      for (auto it = cache.entries.begin(); it != cache.entries.end(); ++it) {
        if (!matches(*it, lookup)) continue;
        EVP_PKEY_up_ref(it->key.get());
        ScopedEvpPkey key(it->key.get());
        cache.entries.splice(cache.entries.begin(), cache.entries, it);
        return key;
      }
    }
  }
  ScopedEvpPkey key = decode();
  if (key == nullptr || !cacheable) return key;
  // Made apart and spliced in under the lock; what is pushed out is freed after it.
  std::list<Entry> fresh(1);
  Entry& entry = fresh.front();
  entry.text = pem;
  entry.has_pin = lookup.has_pin;
  entry.pin_verifier = lookup.pin_verifier;
  EVP_PKEY_up_ref(key.get());
  entry.key.reset(key.get());
  std::list<Entry> evicted;
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    for (const Entry& present : cache.entries) {
      if (matches(present, lookup)) return key;  // decoded meanwhile by another thread
    }
    cache.entries.splice(cache.entries.begin(), fresh);
    if (cache.entries.size() > kMaxEntries) {
      evicted.splice(evicted.begin(), cache.entries, std::prev(cache.entries.end()));
    }
  }
  return key;
}

}  // namespace quillet::platform
