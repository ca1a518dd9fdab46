// A stand-in for the signature library, for the engine's tests of what the real library
// cannot be made to do on purpose: fail its initialisation, or lack an export. Its
// InitXmlSec and ShutDownXmlSec write a line to the host's trace so that the tests see
// which were called.
#include "proxy/quillet_proxy.h"

#ifndef QUILLET_STAND_IN_INIT_RESULT
#define QUILLET_STAND_IN_INIT_RESULT 0
#endif

namespace {
TraceCallback hostTrace = nullptr;
}  // namespace

extern "C" {

int InitXmlSec(TraceCallback trace, XmlSecErrorsCallback /*errors*/, int* stepResult) {
  hostTrace = trace;
  *stepResult = QUILLET_STAND_IN_INIT_RESULT;
  trace(L"stand-in InitXmlSec", 0, 0);
  return QUILLET_STAND_IN_INIT_RESULT;
}

void ShutDownXmlSec() {
  if (hostTrace != nullptr) hostTrace(L"stand-in ShutDownXmlSec", 0, 0);
}

int PreparePrivateKey(TraceCallback /*trace*/, struct _xmlSecKey** /*key*/,
                      PCCERT_CONTEXT /*certificate*/, const wchar_t* /*password*/) {
  return 1001;
}

int CreateSignatureTemplate(TraceCallback /*trace*/, PCCERT_CONTEXT /*certificate*/,
                            struct _xmlNode** /*signatureTemplate*/) {
  return 1001;
}

#ifndef QUILLET_STAND_IN_WITHOUT_SIGN
int Sign(TraceCallback /*trace*/, struct _xmlSecKey* /*key*/, struct _xmlNode* /*made*/,
         bool /*signatureOnly*/, const wchar_t* /*document*/, wchar_t** /*result*/) {
  return 1001;
}
#endif

int Verify(TraceCallback /*trace*/, CertificateCheckCallback /*check*/,
           const std::string* /*document*/, const std::string* /*certificate*/) {
  return 1001;
}

void FreeXmlBuffer(wchar_t* /*buffer*/) {}

}  // extern "C"
