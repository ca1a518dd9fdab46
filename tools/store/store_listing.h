// Showing the stores through the platform layer's own calls, so that the listing is what
// the host will see.
#pragma once

#include <ostream>
#include <string>

namespace quillet::store_tool {

// Writes the stores directory and one line per store: its name and certificate count.
void listStores(std::ostream& out);

// Writes one block per certificate of the store: thumbprint, owner, issuer, validity
// (UTC) and whether it has a key container (and whether that needs a PIN). Returns false
// when the store cannot be opened.
bool listStore(const std::string& store, std::ostream& out, std::string* error);

}  // namespace quillet::store_tool
