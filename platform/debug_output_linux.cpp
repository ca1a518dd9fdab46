#include "platform/debug_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The path of the file that stands in for the debugger, or null when there is none.
const char* debugOutputPath() {
  const char* path = std::getenv("QUILLET_DEBUG_OUTPUT");
  return (path != nullptr && *path != '\0') ? path : nullptr;
}

// Appends one record to the file at path; failures are dropped.
void appendRecord(const char* path, const char* text) {
  int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd == -1) return;
  std::string record(text);
  record.push_back('\n');
  ssize_t written = write(fd, record.data(), record.size());
  (void)written;
  close(fd);
}

}  // namespace

BOOL IsDebuggerPresent(void) { return debugOutputPath() != nullptr ? TRUE : FALSE; }

void OutputDebugStringA(LPCSTR text) {
  if (text == nullptr) return;
  const char* path = debugOutputPath();
  if (path == nullptr) return;
  int savedErrno = errno;
  appendRecord(path, text);
  errno = savedErrno;
}
