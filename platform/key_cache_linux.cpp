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
  bool hasPin = false;
  Digest pinVerifier;  // HMAC-SHA256 of the PIN under the process's key, with hasPin
  ScopedEvpPkey key;
};

struct Cache {
  std::mutex mutex;
  bool keyed = false;
  bool usable = false;  // false when no random key could be made: nothing is cached
  std::array<unsigned char, 32> pinKey{};
  std::list<Entry> entries;  // most recently used first
};

Cache* sharedCache = nullptr;

// Gives the kept keys back at exit, before the GOST engine they were made by is released.
void releaseCache() {
  std::lock_guard<std::mutex> lock(sharedCache->mutex);
  sharedCache->entries.clear();
  OPENSSL_cleanse(sharedCache->pinKey.data(), sharedCache->pinKey.size());
  sharedCache->usable = false;
}

Cache& theCache() {
  static std::once_flag once;
  std::call_once(once, [] {
    // The engine's exit handler is registered when it loads: ours, registered after it,
    // runs before it.
    QuilletGostEngine();
    sharedCache = new Cache();
    std::atexit(releaseCache);
  });
  return *sharedCache;
}

// Makes the process's PIN key on first use; the caller holds the cache's mutex.
bool ensureKeyed(Cache& cache) {
  if (!cache.keyed) {
    cache.keyed = true;
    cache.usable = RAND_bytes(cache.pinKey.data(), static_cast<int>(cache.pinKey.size())) == 1;
  }
  return cache.usable;
}

// What identifies one decode: the text and, with a PIN, its verifier.
struct Lookup {
  const std::string* text = nullptr;
  bool hasPin = false;
  Digest pinVerifier{};
};

bool makeLookup(const Cache& cache, const std::string& pem, const char* pin, Lookup* lookup) {
  lookup->text = &pem;
  lookup->hasPin = pin != nullptr;
  if (pin == nullptr) return true;
  unsigned int length = 0;
  return HMAC(EVP_sha256(), cache.pinKey.data(), static_cast<int>(cache.pinKey.size()),
              reinterpret_cast<const unsigned char*>(pin), std::strlen(pin),
              lookup->pinVerifier.data(), &length) != nullptr &&
         length == lookup->pinVerifier.size();
}

bool matches(const Entry& entry, const Lookup& lookup) {
  if (entry.text != *lookup.text) return false;
  if (entry.hasPin != lookup.hasPin) return false;
  return !entry.hasPin || CRYPTO_memcmp(entry.pinVerifier.data(), lookup.pinVerifier.data(),
                                        entry.pinVerifier.size()) == 0;
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
  entry.hasPin = lookup.hasPin;
  entry.pinVerifier = lookup.pinVerifier;
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
