// Temporary directories for tests.
#pragma once

#include <string>

#include "tests/support/file_bytes.h"  // the files a test puts into one

namespace quillet::test {

// A fresh directory under $TMPDIR (or /tmp), removed with everything in it on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory's absolute path.
  const std::string& path() const { return path_; }
  // Returns path() + "/" + name.
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace quillet::test
