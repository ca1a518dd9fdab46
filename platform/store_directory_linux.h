// Where the current user's system certificate stores live on Linux, shared by the
// platform library and the store tool (header-only):
//   ${XDG_DATA_HOME:-$HOME/.local/share}/tavlin.quillet/stores/<StoreName>/
// XDG_DATA_HOME counts only when it is an absolute path, as the XDG rules say.
// Store names match case-insensitively (ASCII and Cyrillic letters fold), as on Windows.
// A name holding "/" or being "." or ".." names no store.
#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/utf16_linux.h"

namespace quillet::platform {

// Returns the directory that holds the store directories (it may not exist).
inline std::string StoresRoot() {
  const char* data_home = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (data_home != nullptr && data_home[0] == '/') {
    base = data_home;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home != nullptr ? home : "") + "/.local/share";
  }
  return base + "/tavlin.quillet/stores";
}

// Returns a store name (UTF-8) as code points with letter case folded (ASCII, and
// Cyrillic А..Я, Ѐ..Џ), for a case-insensitive comparison. Malformed bytes stay as
// they are, one code point each, so they only ever match themselves.
inline std::u32string FoldStoreName(const std::string& name) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
  std::u32string folded;
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t start = i;
    char32_t cp = DecodeUtf8(bytes, name.size(), &i);
    if (cp == kMalformedSequence) {
      cp = 0x110000 + bytes[start];  // outside Unicode: never equal to a real letter
      i = start + 1;
    }
    if (cp >= U'A' && cp <= U'Z') cp += U'a' - U'A';
    if (cp >= 0x0410 && cp <= 0x042F) cp += 0x20;
    if (cp >= 0x0400 && cp <= 0x040F) cp += 0x50;
    folded.push_back(cp);
  }
  return folded;
}

// Returns the entries of a directory (no "." or ".."), sorted by name; false when the
// directory cannot be read.
inline bool ListDirectory(const std::string& directory, std::vector<std::string>* names) {
  names->clear();
  DIR* dir = opendir(directory.c_str());
  if (dir == nullptr) return false;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names->push_back(name);
  }
  closedir(dir);
  std::sort(names->begin(), names->end());
  return true;
}

// Returns true when the path exists (as anything).
inline bool PathExists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

// Finds the store directory entry for a name (UTF-8) under StoresRoot(): an entry with
// exactly that name, else the first (in name order) equal but for letter case. Returns
// false when there is none (or the root cannot be listed); *path is then the path the
// store would have. Whether the entry is a readable directory is the caller's check.
inline bool FindStoreDirectory(const std::string& name, std::string* path) {
  const std::string root = StoresRoot();
  *path = root + "/" + name;
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
    return false;
  }
  if (PathExists(*path)) return true;
  std::vector<std::string> entries;
  if (!ListDirectory(root, &entries)) return false;
  const std::u32string wanted = FoldStoreName(name);
  for (const std::string& entry : entries) {
    if (FoldStoreName(entry) == wanted) {
      *path = root + "/" + entry;
      return true;
    }
  }
  return false;
}

}  // namespace quillet::platform
