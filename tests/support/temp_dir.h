// Temporary directories and whole-file helpers for tests.
#pragma once

#include <string>

namespace quillet_test {

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

// Returns the bytes of the file at path; "" when it cannot be read.
std::string readFile(const std::string& path);
// Writes bytes to the file at path, replacing it; returns false on failure.
bool writeFile(const std::string& path, const std::string& bytes);
// Returns true when path exists.
bool pathExists(const std::string& path);

}  // namespace quillet_test
