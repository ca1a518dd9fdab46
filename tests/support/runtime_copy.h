// A copy of the runtime directory for tests that change what the host finds beside it.
#pragma once

#include <string>

#include "tests/support/temp_dir.h"

namespace quillet::test {

// A copy of the runtime directory (build/bin) that a test may change: remove a library,
// put another build of the signature library in its place.
class RuntimeCopy {
 public:
  // Copies every file of the runtime directory into a fresh directory.
  RuntimeCopy();
  const std::string& dir() const { return dir_.path(); }
  // The QuilletHost program of the copy.
  std::string host() const { return dir_.file("QuilletHost"); }
  // Removes one file of the copy; a test failure when it was not there.
  void remove(const std::string& name) const;
  // Replaces (or adds) one file of the copy by the file at `source`.
  void replace(const std::string& name, const std::string& source) const;

 private:
  TempDir dir_;
};

}  // namespace quillet::test
