#include "host/log_file.h"

#include <share.h>
#include <sys/stat.h>

#include "host/text_conversion.h"

namespace quillet::host {

std::string logDirectory() { return "C:\\tavlin.quillet"; }

bool isDirectory(const std::string& path) {
  struct _stat64 status;
  return _wstat64(Utf8ToWide(path).c_str(), &status) == 0 && (status.st_mode & _S_IFDIR) != 0;
}

std::string joinLogPath(const std::string& directory, const std::string& name) {
  return directory + "\\" + name;
}

std::FILE* openLogFile(const std::string& path) {
  return _wfsopen(Utf8ToWide(path).c_str(), L"a+t", _SH_DENYNO);
}

}  // namespace quillet::host
