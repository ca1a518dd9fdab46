#include "platform/cert_time_validity.h"

#include "platform/file_time_convert_linux.h"

LONG CertVerifyTimeValidity(LPFILETIME pTimeToVerify, PCERT_INFO pCertInfo) {
  FILETIME now{};
  if (pTimeToVerify == nullptr) {
    GetSystemTimeAsFileTime(&now);
    pTimeToVerify = &now;
  }
  using quillet::platform::fileTimeTicks;
  const auto time = fileTimeTicks(*pTimeToVerify);
  if (time < fileTimeTicks(pCertInfo->NotBefore)) return -1;
  if (time > fileTimeTicks(pCertInfo->NotAfter)) return 1;
  return 0;
}
