// The browser's window handle, owner of the certificate selection dialog.
#pragma once

#include <cstdint>

namespace quillet::host {

// The handle given on the command line with "--parent-window=", or 0 for none. Written only
// by the entry (runHost), once, before the first request is read.
extern std::int32_t parentWindowHandle;

// Returns the handle that the arguments give: the number behind the first argument (argv[0]
// included) that begins with exactly "--parent-window=" and yields a non-zero number, read
// by atol's rules (leading white space and one sign, digits up to the first other character,
// no digits giving 0); 0 when none does. Numbers beyond the 32-bit range are clamped to it.
std::int32_t parentWindowFromArguments(int argc, char* argv[]);

}  // namespace quillet::host
