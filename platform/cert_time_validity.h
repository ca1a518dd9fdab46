// CertVerifyTimeValidity: where a time lies against a certificate's validity period.
#pragma once

#include "platform/api.h"
#include "platform/crypt_types.h"

// Returns -1 when the time is before NotBefore, +1 when it is after NotAfter, 0 inside;
// both bounds count as inside. pTimeToVerify NULL: the current system time.
QUILLET_API LONG WINAPI CertVerifyTimeValidity(LPFILETIME pTimeToVerify, PCERT_INFO pCertInfo);
