#include "platform/key_cache_linux.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <array>
#include <cstring>
#include <deque>
#include <mutex>

namespace quillet::platform {
namespace {

using Digest = std::array<unsigned char, SHA256_DIGEST_LENGTH>;

// A few containers: a user signs with one or two certificates.
constexpr std::size_t kMaxEntries = 4;

struct Entry {
  Digest text;  // SHA-256 of the container's PEM text
  bool has_pin = false;
  Digest pin_verifier;  // HMAC-SHA256 of the PIN under the process's key, with has_pin
  OwnedKey key;
};

struct Cache {
  std::mutex mutex;
  bool keyed = false;
  bool usable = false;  // false when no random key could be made: nothing is cached
  std::array<unsigned char, 32> pin_key{};
  std::deque<Entry> entries;  // most recently used first
};

Cache& TheCache() {
  static auto* cache = new Cache();
  return *cache;
}

// Makes the process's PIN key on first use; the caller holds the cache's mutex.
bool EnsureKeyed(Cache& cache) {
  if (!cache.keyed) {
    cache.keyed = true;
    cache.usable = RAND_bytes(cache.pin_key.data(), static_cast<int>(cache.pin_key.size())) == 1;
  }
  return cache.usable;
}

// What identifies one decode: the text's digest and, with a PIN, its verifier.
struct Lookup {
  Digest text{};
  bool has_pin = false;
  Digest pin_verifier{};
};

bool MakeLookup(const Cache& cache, const std::string& pem, const char* pin, Lookup* lookup) {
  if (SHA256(reinterpret_cast<const unsigned char*>(pem.data()), pem.size(), lookup->text.data()) ==
      nullptr) {
    return false;
  }
  lookup->has_pin = pin != nullptr;
  if (pin == nullptr) return true;
  unsigned int length = 0;
  return HMAC(EVP_sha256(), cache.pin_key.data(), static_cast<int>(cache.pin_key.size()),
              reinterpret_cast<const unsigned char*>(pin), std::strlen(pin),
              lookup->pin_verifier.data(), &length) != nullptr &&
         length == lookup->pin_verifier.size();
}

bool Matches(const Entry& entry, const Lookup& lookup) {
  if (std::memcmp(entry.text.data(), lookup.text.data(), entry.text.size()) != 0) return false;
  if (entry.has_pin != lookup.has_pin) return false;
  return !entry.has_pin || CRYPTO_memcmp(entry.pin_verifier.data(), lookup.pin_verifier.data(),
                                         entry.pin_verifier.size()) == 0;
}

}  // namespace

OwnedKey RememberedKey(const std::string& pem, const char* pin,
                       const std::function<OwnedKey()>& decode) {
  Cache& cache = TheCache();
  Lookup lookup;
  bool cacheable = false;
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    cacheable = EnsureKeyed(cache) && MakeLookup(cache, pem, pin, &lookup);
    if (cacheable) {
      for (auto it = cache.entries.begin(); it != cache.entries.end(); ++it) {
        if (!Matches(*it, lookup)) continue;
        EVP_PKEY_up_ref(it->key.get());
        OwnedKey key(it->key.get());
        if (it != cache.entries.begin()) {
          Entry used = std::move(*it);
          cache.entries.erase(it);
          cache.entries.push_front(std::move(used));
        }
        return key;
      }
    }
  }
  OwnedKey key = decode();
  if (key == nullptr || !cacheable) return key;
  Entry entry;
  entry.text = lookup.text;
  entry.has_pin = lookup.has_pin;
  entry.pin_verifier = lookup.pin_verifier;
  EVP_PKEY_up_ref(key.get());
  entry.key.reset(key.get());
  std::unique_ptr<Entry> evicted;
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    for (const Entry& present : cache.entries) {
      if (Matches(present, lookup)) return key;  // decoded meanwhile by another thread
    }
    cache.entries.push_front(std::move(entry));
    if (cache.entries.size() > kMaxEntries) {
      evicted = std::make_unique<Entry>(std::move(cache.entries.back()));
      cache.entries.pop_back();
    }
  }
  return key;
}

}  // namespace quillet::platform
