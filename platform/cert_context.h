// Certificate contexts: CertCreateCertificateContext, CertDuplicateCertificateContext,
// CertFreeCertificateContext and CertGetCertificateContextProperty.
//
// A context is reference-counted like the system's: CertDuplicateCertificateContext
// returns the same pointer with one more reference, CertFreeCertificateContext drops one.
// A context taken from a store (platform/cert_store.h) keeps its store's memory alive
// until its last reference is gone, even after CertCloseStore; hCertStore is then that
// store. A context made by CertCreateCertificateContext has no store (hCertStore NULL)
// and no key container.
//
// Properties: CERT_SHA1_HASH_PROP_ID (20 bytes, always present),
// CERT_FRIENDLY_NAME_PROP_ID (NUL-terminated UTF-16 in wchar_t units, present when the
// store has a <stem>.name file), CERT_KEY_PROV_INFO_PROP_ID (CRYPT_KEY_PROV_INFO, present
// when the store has a <stem>.key container; the container name is the key file's path).
#pragma once

#include "platform/api.h"
#include "platform/crypt_types.h"

#define CERT_KEY_PROV_INFO_PROP_ID 2
#define CERT_SHA1_HASH_PROP_ID 3
#define CERT_HASH_PROP_ID CERT_SHA1_HASH_PROP_ID
#define CERT_FRIENDLY_NAME_PROP_ID 11

typedef struct _CRYPT_KEY_PROV_PARAM {
  DWORD dwParam;
  BYTE* pbData;
  DWORD cbData;
  DWORD dwFlags;
} CRYPT_KEY_PROV_PARAM, *PCRYPT_KEY_PROV_PARAM;

typedef struct _CRYPT_KEY_PROV_INFO {
  LPWSTR pwszContainerName;
  LPWSTR pwszProvName;
  DWORD dwProvType;
  DWORD dwFlags;
  DWORD cProvParam;
  PCRYPT_KEY_PROV_PARAM rgProvParam;
  DWORD dwKeySpec;
} CRYPT_KEY_PROV_INFO, *PCRYPT_KEY_PROV_INFO;

// Name of the provider in CERT_KEY_PROV_INFO_PROP_ID on Linux.
#define QUILLET_KEY_PROVIDER_NAME_W L"Quillet file key container"

// Makes a new context (one reference, no store) from a DER certificate. Returns NULL
// with E_INVALIDARG when the encoding type lacks X509_ASN_ENCODING or there are no bytes,
// and with CRYPT_E_ASN1_BADTAG when the bytes are not one whole DER certificate.
QUILLET_API PCCERT_CONTEXT WINAPI CertCreateCertificateContext(DWORD dwCertEncodingType,
                                                               const BYTE* pbCertEncoded,
                                                               DWORD cbCertEncoded);

// Adds a reference to the context and returns the same pointer (NULL for NULL).
QUILLET_API PCCERT_CONTEXT WINAPI CertDuplicateCertificateContext(PCCERT_CONTEXT pCertContext);

// Drops one reference; the last one releases the context (and its store's memory when
// the store is closed and no other of its contexts is held). NULL is accepted. Returns
// TRUE.
QUILLET_API BOOL WINAPI CertFreeCertificateContext(PCCERT_CONTEXT pCertContext);

// Reads a property. pvData NULL: TRUE and *pcbData = the size in bytes. Buffer big
// enough: TRUE, the data and *pcbData = its size. Too small: FALSE, ERROR_MORE_DATA and
// *pcbData = the size. Property absent or unknown: FALSE, CRYPT_E_NOT_FOUND. No context or
// no pcbData: FALSE, E_INVALIDARG.
QUILLET_API BOOL WINAPI CertGetCertificateContextProperty(PCCERT_CONTEXT pCertContext,
                                                          DWORD dwPropId, void* pvData,
                                                          DWORD* pcbData);
