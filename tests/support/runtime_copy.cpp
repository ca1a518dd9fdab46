#include "tests/support/runtime_copy.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/host_process.h"

namespace quillet::test {

RuntimeCopy::RuntimeCopy() {
  namespace fs = std::filesystem;
  for (const fs::directory_entry& entry : fs::directory_iterator(binDirectory())) {
    if (!entry.is_regular_file()) continue;
    fs::copy_file(entry.path(), fs::path(dir_.path()) / entry.path().filename(),
                  fs::copy_options::overwrite_existing);
  }
}

void RuntimeCopy::remove(const std::string& name) const {
  std::error_code error;
  EXPECT_TRUE(std::filesystem::remove(dir_.file(name), error)) << "no " << name << " to remove";
}

void RuntimeCopy::replace(const std::string& name, const std::string& source) const {
  std::error_code error;
  std::filesystem::copy_file(source, dir_.file(name),
                             std::filesystem::copy_options::overwrite_existing, error);
  EXPECT_FALSE(error) << "cannot copy " << source << ": " << error.message();
}

}  // namespace quillet::test
