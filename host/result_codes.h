// The result codes both deliverables report: 0 for success, 1-18 the user's choice and the
// certificate checks, 100-108 loading and initialising the libraries, 200-218 key, template,
// signing and verification steps, 1000-1004 failures of the system. The numbers are part of
// the contract between QuilletHost and QuilletProxy and never change; the gaps between the
// groups hold no codes. Only the host holds the user-facing messages (host/result_message.h).
//
// Header-only and free of dependencies, so that the signature library can include it too;
// in the global namespace, as the codes are shared by both deliverables.
#pragma once

// A result code: a signed 32-bit value (an int on every platform we build for). Unscoped so
// that a code passes unchanged through the C interfaces between host and signature library.
enum ResultCode : int {
  Ok = 0,
  CancelledByUser = 1,
  CertificateLoadFailed = 2,
  NoCertificatesInStore = 3,
  StoreAccessFailed = 4,
  NotGostCertificate = 5,
  NotSigningCertificate = 6,
  CertificateExpired = 7,
  CertificateNotYetValid = 8,
  PropertyMissing = 9,
  CertificateNotFound = 10,
  RevocationCheckFailed = 11,
  RevokedUnspecified = 12,
  RevokedKeyCompromise = 13,
  RevokedCaCompromise = 14,
  RevokedAffiliationChanged = 15,
  RevokedSuperseded = 16,
  RevokedCessation = 17,
  CertificateOnHold = 18,
  XmlSecInitFailed = 100,
  XmlSecVersionMismatch = 101,
  CryptoBackendLoadFailed = 102,
  CryptoAppInitFailed = 103,
  CryptoInitFailed = 104,
  ProxyLoadFailed = 105,
  ProxyEntryMissing = 106,
  DependencyLoadFailed = 107,
  SignerCreateFailed = 108,
  KeySelectFailed = 200,
  KeyPasswordFailed = 201,
  KeyInitFailed = 202,
  CertificateAddFailed = 203,
  TemplateCreateFailed = 204,
  ReferenceAddFailed = 205,
  EnvelopedTransformFailed = 206,
  KeyInfoAddFailed = 207,
  KeyDataNodeAddFailed = 208,
  XmlParseFailed = 209,
  XmlEncodingUnsupported = 210,
  SignatureContextFailed = 211,
  KeysManagerCreateFailed = 212,
  KeysManagerInitFailed = 213,
  SigningFailed = 214,
  SignatureMissing = 215,
  VerificationFailed = 216,
  SignatureInvalid = 217,
  SignatureValidCertificateUnchecked = 218,
  OutOfMemory = 1000,
  UnexpectedError = 1001,
  CryptoApiCallFailed = 1002,
  CryptDlgLoadFailed = 1003,
  CertSelectMissing = 1004,
};
