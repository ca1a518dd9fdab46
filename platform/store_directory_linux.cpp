#include "platform/store_directory_linux.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "platform/utf16_linux.h"

namespace quillet::platform {

std::string storesRoot() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (dataHome != nullptr && dataHome[0] == '/') {
    base = dataHome;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home != nullptr ? home : "") + "/.local/share";
  }
  return base + "/tavlin.quillet/stores";
}

std::u32string foldStoreName(const std::string& name) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
  std::u32string folded;
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t start = i;
    char32_t cp = decodeUtf8(bytes, name.size(), &i);
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

bool listDirectory(const std::string& directory, std::vector<std::string>* names) {
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

bool pathExists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

bool findStoreDirectory(const std::string& name, std::string* path) {
  const std::string root = storesRoot();
  *path = root + "/" + name;
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
    return false;
  }
  if (pathExists(*path)) return true;
  std::vector<std::string> entries;
  if (!listDirectory(root, &entries)) return false;
  const std::u32string wanted = foldStoreName(name);
  for (const std::string& entry : entries) {
    if (foldStoreName(entry) == wanted) {
      *path = root + "/" + entry;
      return true;
    }
  }
  return false;
}

}  // namespace quillet::platform
