// The seam between the library and xmlsec1's crypto back end: mscrypto (CryptoAPI) on
// Windows, OpenSSL with the GOST engine on Linux. Everything the library does with the
// back end directly goes through these few calls; crypto_backend_<name>_<platform>.cpp
// implements them once per back end, and the build picks the platform's file.
#pragma once

#include <memory>
#include <string>

#include <xmlsec/keys.h>
#include <xmlsec/keysmngr.h>
#include <xmlsec/transforms.h>

#include "platform/win32.h"

namespace quillet::proxy {

// The name of the back end's module that the preload loads (without directory).
std::wstring backendModuleName();

// Makes xmlsec1's dynamic loading (started by xmlSecInit) find the back end that ships
// with this library before any other copy installed on the system.
// On Linux it also loads the GOST engine, before anything of the library can parse a
// certificate or key (InitXmlSec calls it before the back end is initialised).
void backendPrepareLoading();

// Returns true when the crypto functions xmlsec1 loaded are those of the back end this
// library is linked with (and calls directly), not those of another copy.
bool backendLoadedIsLinked();

// Key material on its way from a certificate to a signing key: the certificate's private
// key, held through its key container.
struct BackendKeyData;

// Releases key material that never became a key's value.
struct BackendKeyDataDeleter {
  void operator()(BackendKeyData* data) const;
};
using BackendKeyDataPtr = std::unique_ptr<BackendKeyData, BackendKeyDataDeleter>;

// Makes key material from the certificate (borrowed; the material keeps its own reference)
// and its private key, with the key data kind chosen by the certificate's public key
// algorithm. NULL when the back end cannot have the private key; the back end reports why
// through xmlsec1's error callback.
BackendKeyDataPtr backendKeyDataFromCertificate(PCCERT_CONTEXT certificate);

// Returns the key container of the material, where a PIN is set.
HCRYPTPROV backendKeyDataProvider(const BackendKeyData& data);

// Makes the material the key's value; the key owns it from then on. Returns false when the
// key could not take it (the material is then released), reported through xmlsec1's error
// callback.
bool backendSetKeyValue(xmlSecKeyPtr key, BackendKeyDataPtr data);

// Attaches a DER certificate to the key (xmlSecCryptoAppKeyCertLoadMemory, DER format).
// Returns a negative value on failure.
int backendKeyCertificateLoad(xmlSecKeyPtr key, const BYTE* der, DWORD size);

// Initialises a new keys manager for verification, whose key lookup takes the key only from
// a certificate: one of the document's X509Data whose chain verifies against the user's
// trust, or the optional certificate of its key store. On Windows mscrypto's default
// manager (the system's chain engine over the user's stores; the context's enabled key
// data, limited to X.509 data, keeps KeyValue and the other key sources out); on Linux the
// lookup of proxy/signer_key_linux.h, with the user's Root store as the trust anchors and
// the CA store as intermediates, and nothing else. Returns 0, or a non-zero value when the
// manager could not be initialised.
int backendDefaultKeysManagerInit(xmlSecKeysMngrPtr manager);

// Makes a key from a DER certificate (xmlSecCryptoAppKeyLoadMemory, format CertDer, no
// password): the certificate's public key, with the certificate as its X.509 data. NULL
// when the bytes are not a certificate the back end can take.
xmlSecKeyPtr backendKeyFromCertificate(const BYTE* der, DWORD size);

// Gives a key to the default keys manager's key store, which owns it from then on.
// Returns a negative value (the key still being the caller's) on failure.
int backendAdoptKey(xmlSecKeysMngrPtr manager, xmlSecKeyPtr key);

// Owns a certificate context handed out by the back end.
struct CertificateContextFree {
  void operator()(PCCERT_CONTEXT context) const { CertFreeCertificateContext(context); }
};
using CertificateContextPtr = std::unique_ptr<const CERT_CONTEXT, CertificateContextFree>;

// Returns the certificate of a verified signing key (borrowed, not changed) as a
// certificate context of its own: the key certificate of its X.509 data, which only a
// verified chain or the optional certificate sets. NULL when the key has none; the other
// certificates of the data are never taken in its place.
CertificateContextPtr backendSignerCertificate(xmlSecKeyPtr key);

// The back end's X.509 key data: the only key data a signature's KeyInfo may give.
xmlSecKeyDataId backendX509DataId();

// The GOST algorithm pairs a template can name.
enum class GostAlgorithm { kR3410_2012_256, kR3410_2012_512, kR3410_2001 };

// A signature transform and the digest transform that goes with it.
struct SignatureTransforms {
  xmlSecTransformId signature;
  xmlSecTransformId digest;
};

// Returns the back end's transforms for the algorithm pair.
SignatureTransforms backendTransforms(GostAlgorithm algorithm);

}  // namespace quillet::proxy
