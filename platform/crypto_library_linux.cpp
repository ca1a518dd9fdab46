// libcrypto bound on first use instead of at start. The platform library is not linked
// with libcrypto: every OpenSSL function it calls is defined here, hidden, as a jump through
// a slot. A slot first holds a resolver of the function's own signature, which loads
// libcrypto.so.3 and fills every slot from it, then makes the call; later calls jump
// straight to OpenSSL. A process that never touches a certificate (getVersion) never maps
// libcrypto nor pays for its symbol binding (the library is linked with BIND_NOW).
//
// The platform library is linked with --no-undefined: an OpenSSL function used in the
// platform library but missing from the list below fails the build.

// The ENGINE interface is deprecated in OpenSSL 3 but is the only one the GOST engine has.
#define OPENSSL_SUPPRESS_DEPRECATED 1

#include <dlfcn.h>
#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/engine.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/sha.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

// The OpenSSL functions the platform library calls.
// clang-format off
#define QUILLET_CRYPTO_FUNCTIONS(X) \
  X(CRYPTO_memcmp) X(EVP_sha256) X(HMAC) X(RAND_bytes) \
  X(ASN1_ENUMERATED_free) X(ASN1_ENUMERATED_get) X(ASN1_OBJECT_free) \
  X(ASN1_STRING_get0_data) X(ASN1_STRING_length) X(ASN1_STRING_to_UTF8) X(ASN1_TIME_to_tm) \
  X(ASN1_TYPE_free) X(ASN1_TYPE_new) X(ASN1_TYPE_set1) X(BIO_free) X(BIO_new_mem_buf) \
  X(CRL_DIST_POINTS_free) X(CRYPTO_free) X(ENGINE_by_id) X(ENGINE_finish) X(ENGINE_free) \
  X(ENGINE_init) X(ENGINE_set_default) X(ERR_clear_error) X(EVP_PKEY_free) \
  X(EVP_PKEY_up_ref) X(GENERAL_NAMES_free) X(OBJ_obj2txt) X(OBJ_txt2obj) X(OPENSSL_cleanse) \
  X(OPENSSL_init_crypto) X(OPENSSL_sk_num) X(OPENSSL_sk_value) X(PEM_read_bio_PrivateKey) \
  X(PEM_read_bio_X509) X(PEM_read_bio_X509_CRL) X(SHA1) X(X509_ALGOR_get0) X(X509_CRL_free) \
  X(X509_CRL_get0_by_serial) X(X509_CRL_get0_lastUpdate) X(X509_CRL_get0_nextUpdate) \
  X(X509_CRL_get_ext_by_NID) X(X509_CRL_get_issuer) X(X509_CRL_verify) \
  X(X509_EXTENSION_get_critical) X(X509_EXTENSION_get_data) X(X509_EXTENSION_get_object) \
  X(X509_NAME_ENTRY_get_data) X(X509_NAME_cmp) X(X509_NAME_entry_count) \
  X(X509_NAME_get_entry) X(X509_NAME_get_index_by_NID) X(X509_NAME_get_index_by_OBJ) \
  X(X509_PUBKEY_get0_param) X(X509_REVOKED_get_ext_d2i) X(X509_check_issued) \
  X(X509_cmp_time) X(X509_free) X(X509_get0_notAfter) X(X509_get0_notBefore) \
  X(X509_get0_pubkey) X(X509_get0_serialNumber) X(X509_get0_tbs_sigalg) \
  X(X509_get_X509_PUBKEY) X(X509_get_ext) X(X509_get_ext_count) X(X509_get_ext_d2i) \
  X(X509_get_issuer_name) X(X509_get_key_usage) X(X509_get_subject_name) \
  X(X509_get_version) X(X509_verify) X(d2i_X509) X(d2i_X509_CRL) X(i2d_ASN1_TYPE) \
  X(i2d_X509) X(i2d_X509_NAME) X(i2d_X509_PUBKEY)
// clang-format on

namespace {

// The soname of the OpenSSL 3 libcrypto the headers describe.
#define QUILLET_CRYPTO_SONAME "libcrypto.so.3"

void bindAll();

// The resolver a slot starts with: binds every slot, then calls through its own.
template <typename Function, void** Slot>
struct FirstCall;
template <typename Result, typename... Arguments, void** Slot>
struct FirstCall<Result (*)(Arguments...), Slot> {
  static Result call(Arguments... arguments) {
    bindAll();
    return reinterpret_cast<Result (*)(Arguments...)>(*Slot)(arguments...);
  }
};

}  // namespace

// One slot and one jump per function. The jumps carry the functions' own names, hidden,
// so that the platform library's calls land here and no other module sees them.
#define QUILLET_CRYPTO_SLOT(name)                                                                \
  extern "C" __attribute__((visibility("hidden"))) void* quillet_crypto_slot_##name;             \
  void* quillet_crypto_slot_##name =                                                             \
      reinterpret_cast<void*>(&FirstCall<decltype(&::name), &quillet_crypto_slot_##name>::call); \
  asm(".pushsection .text\n.globl " #name "\n.hidden " #name "\n.type " #name                    \
      ", @function\n" #name ":\n\tendbr64\n\tjmp *quillet_crypto_slot_" #name                    \
      "(%rip)\n"                                                                                 \
      ".size " #name ", .-" #name "\n.popsection\n");
QUILLET_CRYPTO_FUNCTIONS(QUILLET_CRYPTO_SLOT)
#undef QUILLET_CRYPTO_SLOT

namespace {

[[noreturn]] void unavailable(const char* what) {
  std::fprintf(stderr, "QuilletPlatform: %s\n", what);
  std::abort();
}

void bindAll() {
  static std::once_flag once;
  std::call_once(once, [] {
    // Never closed (libcrypto is NODELETE anyway): its functions stay in the slots.
    void* library = dlopen(QUILLET_CRYPTO_SONAME, RTLD_NOW | RTLD_GLOBAL);
    if (library == nullptr) unavailable(dlerror());
#define QUILLET_CRYPTO_BIND(name)                              \
  if (void* found = dlsym(library, #name); found != nullptr) { \
    quillet_crypto_slot_##name = found;                        \
  } else {                                                     \
    unavailable(QUILLET_CRYPTO_SONAME " lacks " #name);        \
  }
    QUILLET_CRYPTO_FUNCTIONS(QUILLET_CRYPTO_BIND)
#undef QUILLET_CRYPTO_BIND
  });
}

}  // namespace
