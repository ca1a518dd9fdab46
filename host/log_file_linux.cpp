#include "host/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace quillet::host {

std::string logDirectory() {
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return std::string();
  return std::string(home) + "/tavlin.quillet";
}

bool isDirectory(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string joinLogPath(const std::string& directory, const std::string& name) {
  return directory + "/" + name;
}

std::FILE* openLogFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd == -1) return nullptr;
  std::FILE* file = fdopen(fd, "a+");
  if (file == nullptr) close(fd);
  return file;
}

}  // namespace quillet::host
