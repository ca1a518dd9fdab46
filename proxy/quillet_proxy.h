// The exports of the signature library QuilletProxy (libQuilletProxy.so on Linux,
// QuilletProxy.dll on Windows), which the host loads from its own directory at run time and
// binds by name. Every export uses the C calling convention and an undecorated name; no
// other function is exported. No export lets an exception out.
//
// Calling order: InitXmlSec; for signing PreparePrivateKey, CreateSignatureTemplate, then
// Sign for each document with FreeXmlBuffer of each result; for verification Verify;
// DestroyKey and DestroyTemplate for what was made; then ShutDownXmlSec (only after an
// InitXmlSec that returned 0). Every export must be called on the thread that called
// InitXmlSec, one call at a time. Results are the numbers of host/result_codes.h.
//
// Text is UTF-16 in wchar_t units on every platform.
#pragma once

#include <string>

#include "platform/win32.h"

// The library's handle types, as xmlsec1 and libxml2 name them (xmlSecKeyPtr, xmlNodePtr);
// the host never looks inside.
struct _xmlSecKey;
struct _xmlNode;

extern "C" {

// The host's trace: text (NUL-terminated, only valid during the call), a result code or
// warning number that belongs to the text (0 for a plain progress line) and a system error
// number (a GetLastError value) or 0. The result means nothing.
typedef int (*TraceCallback)(const wchar_t* text, int code, DWORD systemError);

// xmlsec1's error callback (xmlSecErrorsCallback): where xmlsec1 reports every error once
// InitXmlSec has installed it. The texts are UTF-8 and may be NULL.
typedef void (*XmlSecErrorsCallback)(const char* file, int line, const char* func,
                                     const char* errorObject, const char* errorSubject, int reason,
                                     const char* msg);

// The host's check of a verified signer's certificate (borrowed for the call); returns a
// result code, 0 when the certificate is acceptable.
typedef int (*CertificateCheckCallback)(PCCERT_CONTEXT certificate);

// Initialises libxml2, xmlsec1 and its crypto back end for the calls that follow. Writes
// the raw value of each xmlsec1 initialisation step into *stepResult as it runs, so that it
// holds the failing step's value on failure and 0 on success. Returns 0, or 100 (xmlsec1
// did not initialise), 101 (xmlsec1 older than 1.2.25 or incompatible), 102 (the crypto
// back end could not be loaded, or what loaded is not the one bundled with this library),
// 103 or 104 (the back end did not initialise). A failure undoes nothing; InitXmlSec may
// simply be called again. The parser set up here never loads anything from outside a
// document: no external DTD, no external entity, no file, no network.
int InitXmlSec(TraceCallback trace, XmlSecErrorsCallback errors, int* stepResult);

// Shuts down what InitXmlSec initialised; InitXmlSec may be called again afterwards and
// works as the first time did. Keys and templates made before are no longer usable.
void ShutDownXmlSec();

// Makes a signing key from the certificate's private key (reached through its key
// container), carrying the certificate itself. A non-empty password is given to the
// container as its PIN first (at most 40 characters, only ASCII; never cut to fit).
// Returns 0 with *key the new key; 200 when the certificate's private key cannot be had
// (*key untouched); 201 when the container refuses the PIN, or the PIN is not ASCII or
// longer than 40 characters (*key untouched, one trace line with code 201 saying why); 202 when no
// key could be made or it could not take the private key (*key NULL); 203 when the certificate
// could not be attached (*key the key, which must not be used to sign). Any key handed out is the
// caller's, released with DestroyKey. The certificate is borrowed.
int PreparePrivateKey(TraceCallback trace, struct _xmlSecKey** key, PCCERT_CONTEXT certificate,
                      const wchar_t* password);

// Builds the enveloped GOST signature template for the certificate's key algorithm:
// GOST R 34.10-2012 256 or 512 bits with the matching R 34.11-2012 digest when the public
// key algorithm is exactly 1.2.643.7.1.1.1.1 or 1.2.643.7.1.1.1.2, otherwise GOST R
// 34.10-2001 with R 34.11-94. Writes the template to *signatureTemplate right after trying
// to create its root element. Returns 0, or 204 (no template: *signatureTemplate NULL) and
// 205-208 (an incomplete template). Any template handed out is the caller's, released with
// DestroyTemplate. trace is not used.
int CreateSignatureTemplate(TraceCallback trace, PCCERT_CONTEXT certificate,
                            struct _xmlNode** signatureTemplate);

// Signs the document (NUL-terminated UTF-16) with the key and a copy of the template, both
// borrowed and left unchanged, the new signature becoming the root element's last child.
// On 0, *result receives the whole signed document (with an XML declaration naming its
// encoding, "UTF-8" when it declared none) or, when signatureOnly is true, the new
// Signature element alone; the caller gives it back with FreeXmlBuffer. Returns 209 (not
// well-formed, no root element, not valid UTF-16 or needing anything from outside the
// document), 210 (declares an encoding other than UTF-8), 211 (no signature context), 214
// (signing failed) or 1000 (out of memory); *result is then untouched.
int Sign(TraceCallback trace, struct _xmlSecKey* key, struct _xmlNode* signatureTemplate,
         bool signatureOnly, const wchar_t* document, wchar_t** result);

// Verifies the first XML signature of the document (UTF-8), optionally also against the
// certificate (Base64 of DER; empty for none), and asks check about the signer's
// certificate. Both strings are borrowed and left unchanged. Returns 0 or the check's code,
// or 209, 211, 212, 213, 215, 216, 217, 218.
int Verify(TraceCallback trace, CertificateCheckCallback check, const std::string* document,
           const std::string* certificate);

// Gives back a result of Sign. NULL does nothing.
void FreeXmlBuffer(wchar_t* buffer);

// Releases a key made by PreparePrivateKey. NULL does nothing. Call before ShutDownXmlSec.
void DestroyKey(struct _xmlSecKey* key);

// Releases a template made by CreateSignatureTemplate. NULL does nothing.
void DestroyTemplate(struct _xmlNode* signatureTemplate);

}  // extern "C"

// The exports' types, for binding them by name.
using InitXmlSecFunction = decltype(&InitXmlSec);
using ShutDownXmlSecFunction = decltype(&ShutDownXmlSec);
using PreparePrivateKeyFunction = decltype(&PreparePrivateKey);
using CreateSignatureTemplateFunction = decltype(&CreateSignatureTemplate);
using SignFunction = decltype(&Sign);
using VerifyFunction = decltype(&Verify);
using FreeXmlBufferFunction = decltype(&FreeXmlBuffer);
using DestroyKeyFunction = decltype(&DestroyKey);
using DestroyTemplateFunction = decltype(&DestroyTemplate);
