#include "platform/std_streams.h"

#include <fcntl.h>

#include <cerrno>

int _fileno(std::FILE* stream) { return fileno(stream); }

int _setmode(int fd, int mode) {
  if (fcntl(fd, F_GETFD) == -1) {
    errno = EBADF;
    return -1;
  }
  if (mode != _O_BINARY && mode != _O_TEXT) {
    errno = EINVAL;
    return -1;
  }
  return _O_BINARY;
}
