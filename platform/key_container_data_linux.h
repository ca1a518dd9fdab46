// Inside the platform library: key container handles.
#pragma once

#include <string>

#include "platform/crypt_types.h"

namespace quillet::platform {

// Opens the container file at `path` and returns a handle with one reference, or 0 with
// the error set (NTE_BAD_KEYSET).
HCRYPTPROV openKeyContainer(const std::string& path);

// Adds a reference to a live handle. Returns false for an unknown handle.
bool retainKeyContainer(HCRYPTPROV handle);

// Drops a reference; the last one frees the container. Returns false for an unknown
// handle.
bool releaseKeyContainer(HCRYPTPROV handle);

}  // namespace quillet::platform
