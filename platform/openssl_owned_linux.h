// Owners for the OpenSSL objects the platform library and the store tool hold: one
// std::unique_ptr alias per object type, each released with OpenSSL's own function, so
// that every path out of a function frees what it made and nothing is freed twice.
// Every release function accepts NULL, as the owners may hold it.
#pragma once

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace quillet::platform {

struct X509Free {
  void operator()(X509* cert) const { X509_free(cert); }
};
struct X509CrlFree {
  void operator()(X509_CRL* crl) const { X509_CRL_free(crl); }
};
struct EvpPkeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
struct Pkcs12Free {
  void operator()(PKCS12* pfx) const { PKCS12_free(pfx); }
};
struct Asn1TypeFree {
  void operator()(ASN1_TYPE* any) const { ASN1_TYPE_free(any); }
};
// A stack that owns its certificates: they are freed with it.
struct X509StackPopFree {
  void operator()(STACK_OF(X509) * stack) const { sk_X509_pop_free(stack, X509_free); }
};
// Bytes OpenSSL allocated for the caller (i2d_* output, ASN1_STRING_to_UTF8).
struct OpenSslFree {
  void operator()(void* block) const { OPENSSL_free(block); }
};

// A certificate, freed with X509_free.
using ScopedX509 = std::unique_ptr<X509, X509Free>;
// A certificate revocation list, freed with X509_CRL_free.
using ScopedX509Crl = std::unique_ptr<X509_CRL, X509CrlFree>;
using ScopedX509Crls = std::vector<ScopedX509Crl>;
// A key (public, or private with its public half), freed with EVP_PKEY_free.
using ScopedEvpPkey = std::unique_ptr<EVP_PKEY, EvpPkeyFree>;
// A BIO (memory or file), freed with BIO_free; a memory BIO over borrowed bytes leaves
// them alone.
using ScopedBio = std::unique_ptr<BIO, BioFree>;
// A parsed PKCS#12 file, freed with PKCS12_free.
using ScopedPkcs12 = std::unique_ptr<PKCS12, Pkcs12Free>;
// A stack of certificates that borrows them, freed with sk_X509_free (the certificates
// are left alone).
struct X509StackFree {
  void operator()(STACK_OF(X509) * stack) const { sk_X509_free(stack); }
};
using ScopedX509BorrowingStack = std::unique_ptr<STACK_OF(X509), X509StackFree>;
// A certificate store, freed with X509_STORE_free.
struct X509StoreFree {
  void operator()(X509_STORE* store) const { X509_STORE_free(store); }
};
using ScopedX509Store = std::unique_ptr<X509_STORE, X509StoreFree>;
// A verification context, freed with X509_STORE_CTX_free.
struct X509StoreCtxFree {
  void operator()(X509_STORE_CTX* context) const { X509_STORE_CTX_free(context); }
};
using ScopedX509StoreCtx = std::unique_ptr<X509_STORE_CTX, X509StoreCtxFree>;
// A stack of certificates that owns them, freed with sk_X509_pop_free.
using ScopedX509Stack = std::unique_ptr<STACK_OF(X509), X509StackPopFree>;
// An ASN.1 value of any type, freed with ASN1_TYPE_free.
using ScopedAsn1Type = std::unique_ptr<ASN1_TYPE, Asn1TypeFree>;
// A block OpenSSL allocated, freed with OPENSSL_free.
using ScopedOpenSslBytes = std::unique_ptr<unsigned char, OpenSslFree>;

// A block the C library allocated with malloc for the caller (realpath's result), freed
// with free.
struct MallocFree {
  void operator()(void* block) const { std::free(block); }
};
using ScopedMallocChars = std::unique_ptr<char, MallocFree>;

// The DER encoding of an OpenSSL object by its i2d_ function (i2d_X509, i2d_X509_PUBKEY,
// ...), or the empty string when it cannot be encoded.
template <typename T>
std::string derOf(const T* object, int (*encode)(const T*, unsigned char**)) {
  unsigned char* bytes = nullptr;
  const int length = encode(object, &bytes);
  const ScopedOpenSslBytes der(bytes);
  if (length <= 0) return std::string();
  return std::string(reinterpret_cast<const char*>(der.get()), static_cast<std::size_t>(length));
}

}  // namespace quillet::platform
