#include "tests/support/temp_home.h"

#include <cstdlib>
#include <utility>

#include "tests/support/log_files.h"

namespace quillet::test {

ScopedEnvironment::ScopedEnvironment(std::string name, std::optional<std::string> value)
    : name_(std::move(name)) {
  const char* old = std::getenv(name_.c_str());
  if (old != nullptr) old_ = old;
  if (value) {
    setenv(name_.c_str(), value->c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
}

ScopedEnvironment::~ScopedEnvironment() {
  if (old_) {
    setenv(name_.c_str(), old_->c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
}

TempHome::TempHome() : home_("HOME", dir_.path()) {}

const std::string& TempHome::path() const { return dir_.path(); }

std::string TempHome::logDirectory(bool create) const {
  return logDirectoryIn(dir_.path(), create);
}

}  // namespace quillet::test
