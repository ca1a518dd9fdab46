// Environment variables set for the life of an object, and a temporary HOME for
// in-process tests.
#pragma once

#include <optional>
#include <string>

#include "tests/support/temp_dir.h"

namespace quillet::test {

// Sets (or with nullopt removes) an environment variable for the life of the object and
// restores the old value afterwards.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::string name, std::optional<std::string> value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// A temporary HOME for in-process tests: HOME points to a fresh directory for the life of
// the object.
class TempHome {
 public:
  TempHome();
  // The home directory.
  const std::string& path() const;
  // Returns the log directory in it, made first when create is set.
  std::string logDirectory(bool create) const;

 private:
  TempDir dir_;
  ScopedEnvironment home_;
};

}  // namespace quillet::test
