// Reading a whole small file inside the platform library.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace quillet::platform {

// Reads the whole file into *bytes. Returns false when it cannot be opened or read.
inline bool readWholeFile(const std::string& path, std::string* bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

}  // namespace quillet::platform
