// The trace lines the code under test writes, read back from the host's log in a
// temporary home.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "host/log.h"
#include "tests/support/log_files.h"

namespace quillet::test {

class TraceLog {
 public:
  // Switches logging on in `home` (which HOME names) and starts an empty log.
  explicit TraceLog(const std::string& home) : directory_(logDirectoryIn(home, /*create=*/true)) {
    Clear();
  }
  ~TraceLog() { host::closeLog(); }
  TraceLog(const TraceLog&) = delete;
  TraceLog& operator=(const TraceLog&) = delete;

  // Returns the texts of the lines written since the last Clear, without time stamps;
  // session headers left out.
  std::vector<std::string> Lines() const {
    std::vector<std::string> texts;
    for (const std::string& line : splitLines(readLog(directory_))) {
      if (isSessionHeader(line)) continue;
      texts.push_back(stampedText(line).value_or(line));
    }
    return texts;
  }

  // Forgets every line written so far.
  void Clear() {
    host::closeLog();
    for (const std::string& name : logFileNames(directory_)) {
      std::remove((directory_ + "/" + name).c_str());
    }
  }

 private:
  std::string directory_;
};

}  // namespace quillet::test
