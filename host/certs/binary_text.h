// Thumbprints between bytes and hexadecimal text, with the platform's CryptoAPI.
#pragma once

#include <string>

#include "platform/win32.h"

namespace quillet::host {

// Renders `size` bytes as CRYPT_STRING_HEX text into *text, exactly as the platform writes
// it (separators and line breaks kept). Returns 0; 1000 when the buffer cannot be
// allocated; 1002 when the platform refuses, after tracing "CryptBinaryToString failed"
// with its error. *text is changed only on 0.
int BinaryToString(const BYTE* data, DWORD size, std::wstring* text);

// Decodes the text with CryptStringToBinaryW in the format `flags` names into a new buffer
// from malloc: on 0, *bytes is the buffer (the caller frees it with free) and *size its
// length. Returns 1000 when the buffer cannot be allocated; 1002 when the platform refuses
// the text, after tracing "CryptStringToBinary failed" with its error. On any failure
// *bytes is NULL and nothing stays allocated.
int StringToBinary(std::wstring text, DWORD flags, BYTE** bytes, DWORD* size);

}  // namespace quillet::host
