// A stand-in for the selection dialog library, for what the real dialog never does: confirm
// while reporting a certificate but leaving slot 0 empty. It releases what slot 0 held, so
// that nothing of the store stays referenced, and answers TRUE with a count of 1.
#include "platform/win32.h"

extern "C" __attribute__((visibility("default"))) BOOL WINAPI
CertSelectCertificateW(PCERT_SELECT_STRUCT_W request) {
  CertFreeCertificateContext(request->arrayCertContext[0]);
  request->arrayCertContext[0] = nullptr;
  request->cCertContext = 1;
  return TRUE;
}
