// Thumbprints as text in the store tool: printed as the platform's hex text on one line
// (CryptBinaryToStringW with CRYPT_STRING_HEX | CRYPT_STRING_NOCRLF: lower-case byte
// pairs, single spaces), read by the platform's CryptStringToBinaryW (CRYPT_STRING_HEX), so
// in any of the layouts a "sign" request accepts.
#pragma once

#include <string>

namespace quillet::store_tool {

// "0a 1b ..." for the bytes.
std::string hexText(const std::string& bytes);

// Reads hex text: byte pairs in either case, separated (or not) by spaces, tabs, CR, LF,
// "-" or ",". Returns false for anything else, an odd run of digits, or no bytes at all.
bool parseHexText(const std::string& text, std::string* bytes);

}  // namespace quillet::store_tool
