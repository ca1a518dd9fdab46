// Where the current user's system certificate stores live on Linux, shared by the
// platform library and the store tool (both link it from quillet_platform_internal):
//   ${XDG_DATA_HOME:-$HOME/.local/share}/tavlin.quillet/stores/<StoreName>/
// XDG_DATA_HOME counts only when it is an absolute path, as the XDG rules say.
// Store names match case-insensitively (ASCII and Cyrillic letters fold), as on Windows.
// A name holding "/" or being "." or ".." names no store.
#pragma once

#include <string>
#include <vector>

namespace quillet::platform {

// Returns the directory that holds the store directories (it may not exist).
std::string storesRoot();

// Returns a store name (UTF-8) as code points with letter case folded (ASCII, and
// Cyrillic А..Я, Ѐ..Џ), for a case-insensitive comparison. Malformed bytes stay as
// they are, one code point each, so they only ever match themselves.
std::u32string foldStoreName(const std::string& name);

// Returns the entries of a directory (no "." or ".."), sorted by name; false when the
// directory cannot be read.
bool listDirectory(const std::string& directory, std::vector<std::string>* names);

// Returns true when the path exists (as anything).
bool pathExists(const std::string& path);

// Finds the store directory entry for a name (UTF-8) under storesRoot(): an entry with
// exactly that name, else the first (in name order) equal but for letter case. Returns
// false when there is none (or the root cannot be listed); *path is then the path the
// store would have. Whether the entry is a readable directory is the caller's check.
bool findStoreDirectory(const std::string& name, std::string* path);

}  // namespace quillet::platform
