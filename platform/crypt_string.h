// CryptBinaryToStringW and CryptStringToBinaryW: bytes as hexadecimal text and back.
//
// Implemented formats: CRYPT_STRING_HEX (both ways), CRYPT_STRING_HEX_ANY (text to bytes,
// read exactly like CRYPT_STRING_HEX), with CRYPT_STRING_NOCR and CRYPT_STRING_NOCRLF for
// bytes to text and CRYPT_STRING_STRICT accepted (and ignored) for text to bytes. Any other
// format fails with ERROR_INVALID_PARAMETER.
//
// Text written: lower-case hex, two digits a byte, 16 bytes a line, one space between the
// bytes of a line and two between its 8th and 9th, every line (the last too) ending in CRLF
// (LF with CRYPT_STRING_NOCR). With CRYPT_STRING_NOCRLF there are no line breaks and the
// bytes are separated by single spaces only. No bytes give the empty text.
//
// Text read: a byte is two adjacent hex digits of either case; space, tab, CR, LF, '-' and
// ',' separate bytes and may lead or trail. A run of digits of odd length or any other
// character makes the text invalid. A text of only separators holds no bytes.
//
// Error codes: ERROR_INVALID_PARAMETER (missing pointer, empty text, other format),
// ERROR_INVALID_DATA (text not valid hex), ERROR_MORE_DATA (output buffer too small).
#pragma once

#include "platform/api.h"
#include "platform/win_types.h"

#define CRYPT_STRING_BASE64HEADER 0x00000000
#define CRYPT_STRING_BASE64 0x00000001
#define CRYPT_STRING_BINARY 0x00000002
#define CRYPT_STRING_BASE64REQUESTHEADER 0x00000003
#define CRYPT_STRING_HEX 0x00000004
#define CRYPT_STRING_HEXASCII 0x00000005
#define CRYPT_STRING_BASE64_ANY 0x00000006
#define CRYPT_STRING_ANY 0x00000007
#define CRYPT_STRING_HEX_ANY 0x00000008
#define CRYPT_STRING_HEXRAW 0x0000000c
#define CRYPT_STRING_STRICT 0x20000000
#define CRYPT_STRING_NOCRLF 0x40000000
#define CRYPT_STRING_NOCR 0x80000000

// Renders cbBinary bytes as text. pszString NULL: TRUE and *pcchString = the characters
// needed, terminating NUL included. *pcchString big enough for the text and its NUL: TRUE,
// the text written NUL-terminated and *pcchString = its length without the NUL. Too small:
// FALSE with ERROR_MORE_DATA and *pcchString unchanged. pbBinary or pcchString NULL:
// FALSE with ERROR_INVALID_PARAMETER. The last error is left alone on success.
QUILLET_API BOOL WINAPI CryptBinaryToStringW(const BYTE* pbBinary, DWORD cbBinary, DWORD dwFlags,
                                             LPWSTR pszString, DWORD* pcchString);

// Decodes hex text of cchString characters (0: the text is NUL-terminated) into bytes.
// pbBinary NULL: TRUE and *pcbBinary = the byte count, 0 when the text is not valid hex.
// Buffer of *pcbBinary bytes big enough: TRUE, the bytes and *pcbBinary = their count.
// Too small: FALSE with ERROR_MORE_DATA and *pcbBinary = the count needed. Text not valid
// hex with a buffer: FALSE with ERROR_INVALID_DATA. Empty text, pszString or pcbBinary
// NULL: FALSE with ERROR_INVALID_PARAMETER. pdwSkip (when given) receives 0 and pdwFlags
// CRYPT_STRING_HEX whenever the call succeeds. The last error is left alone on success.
QUILLET_API BOOL WINAPI CryptStringToBinaryW(LPCWSTR pszString, DWORD cchString, DWORD dwFlags,
                                             BYTE* pbBinary, DWORD* pcbBinary, DWORD* pdwSkip,
                                             DWORD* pdwFlags);
