#include "tests/support/file_bytes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

namespace quillet::test {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool pathExists(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0;
}

void writeFileOrFail(const std::string& path, const std::string& bytes) {
  if (!writeFile(path, bytes)) ADD_FAILURE() << "cannot write " << path;
}

void writeFileOrFail(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  writeFileOrFail(path, std::string(bytes.begin(), bytes.end()));
}

}  // namespace quillet::test
