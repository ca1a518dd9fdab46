// CreateSignatureTemplate and DestroyTemplate: the enveloped GOST signature template that
// Sign copies into every document.
#include <cstring>

#include <xmlsec/templates.h>
#include <xmlsec/transforms.h>

#include "host/result_codes.h"
#include "platform/win32.h"
#include "proxy/crypto_backend.h"
#include "proxy/export_guard.h"
#include "proxy/quillet_proxy.h"

namespace quillet::proxy {
namespace {

// The public key algorithms with an algorithm pair of their own.
constexpr char kGost2012_256KeyOid[] = "1.2.643.7.1.1.1.1";
constexpr char kGost2012_512KeyOid[] = "1.2.643.7.1.1.1.2";

// Chooses the algorithm pair by the exact public key algorithm identifier; every other
// identifier, a missing one included, takes GOST R 34.10-2001.
GostAlgorithm chooseAlgorithm(PCCERT_CONTEXT certificate) {
  const char* oid = certificate->pCertInfo != nullptr
                        ? certificate->pCertInfo->SubjectPublicKeyInfo.Algorithm.pszObjId
                        : nullptr;
  if (oid == nullptr) return GostAlgorithm::kR3410_2001;
  if (std::strcmp(oid, kGost2012_256KeyOid) == 0) return GostAlgorithm::kR3410_2012_256;
  if (std::strcmp(oid, kGost2012_512KeyOid) == 0) return GostAlgorithm::kR3410_2012_512;
  return GostAlgorithm::kR3410_2001;
}

int createTemplate(PCCERT_CONTEXT certificate, xmlNodePtr* signatureTemplate) {
  if (certificate == nullptr || signatureTemplate == nullptr) return TemplateCreateFailed;
  const SignatureTransforms transforms = backendTransforms(chooseAlgorithm(certificate));
  xmlNodePtr signature = xmlSecTmplSignatureCreate(/*doc=*/nullptr, xmlSecTransformInclC14NId,
                                                   transforms.signature, /*id=*/nullptr);
  *signatureTemplate = signature;
  if (signature == nullptr) return TemplateCreateFailed;
  xmlNodePtr reference =
      xmlSecTmplSignatureAddReference(signature, transforms.digest, /*id=*/nullptr,
                                      /*uri=*/BAD_CAST "", /*type=*/nullptr);
  if (reference == nullptr) return ReferenceAddFailed;
  if (xmlSecTmplReferenceAddTransform(reference, xmlSecTransformEnvelopedId) == nullptr) {
    return EnvelopedTransformFailed;
  }
  xmlNodePtr keyInfo = xmlSecTmplSignatureEnsureKeyInfo(signature, /*id=*/nullptr);
  if (keyInfo == nullptr) return KeyInfoAddFailed;
  if (xmlSecTmplKeyInfoAddX509Data(keyInfo) == nullptr) return KeyDataNodeAddFailed;
  return Ok;
}

}  // namespace
}  // namespace quillet::proxy

int CreateSignatureTemplate(TraceCallback /*trace*/, PCCERT_CONTEXT certificate,
                            xmlNodePtr* signatureTemplate) {
  return quillet::proxy::guardedCall(
      [&] { return quillet::proxy::createTemplate(certificate, signatureTemplate); });
}

void DestroyTemplate(xmlNodePtr signatureTemplate) {
  quillet::proxy::guardedVoidCall([signatureTemplate] {
    if (signatureTemplate != nullptr) xmlFreeNode(signatureTemplate);
  });
}
