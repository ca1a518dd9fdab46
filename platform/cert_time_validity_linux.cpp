#include "platform/cert_time_validity.h"

#include "platform/file_time_convert_linux.h"

LONG CertVerifyTimeValidity(LPFILETIME pTimeToVerify, PCERT_INFO pCertInfo) {
  FILETIME now{};
  if (pTimeToVerify == nullptr) {
    GetSystemTimeAsFileTime(&now);
    pTimeToVerify = &now;
  }
  using quillet::platform::FileTimeTicks;
  const auto time = FileTimeTicks(*pTimeToVerify);
  if (time < FileTimeTicks(pCertInfo->NotBefore)) return -1;
  if (time > FileTimeTicks(pCertInfo->NotAfter)) return 1;
  return 0;
}
