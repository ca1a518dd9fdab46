// A QuilletHost started by the client, spoken to in framed messages over its standard input
// and output (through the process runner, tools/process_runner/child_process.h). Its
// standard error is the client's own.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/process_runner/child_process.h"

namespace quillet::client {

// One running host.
class HostConnection {
 public:
  // Starts program with arguments. Throws std::runtime_error when it cannot be started.
  HostConnection(const std::string& program, const std::vector<std::string>& arguments);

  // Writes body framed (4-byte little-endian length, then the bytes). Returns false when
  // the host no longer reads.
  bool send(const std::string& body);
  // Reads one framed answer; nullopt when the host's output ends before a whole one.
  std::optional<std::string> receive();
  // Ends the host's input, reads what else it writes into trailing, and waits for it.
  // Returns its exit status, or 128 + the signal that ended it.
  int finish(std::string& trailing);

 private:
  process_runner::ChildProcess host_;
};

}  // namespace quillet::client
