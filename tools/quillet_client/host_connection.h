// A QuilletHost started by the client, spoken to in framed messages over its standard input
// and output. Its standard error is the client's own.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

// One running host.
class HostSession {
 public:
  // Starts program with arguments. Throws std::runtime_error when it cannot be started.
  HostSession(const std::string& program, const std::vector<std::string>& arguments);
  // Ends the host's input and reaps it if finish() was not called.
  ~HostSession();
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  // Writes body framed (4-byte little-endian length, then the bytes). Returns false when
  // the host no longer reads.
  bool send(const std::string& body);
  // Reads one framed answer; nullopt when the host's output ends before a whole one.
  std::optional<std::string> receive();
  // Ends the host's input, reads what else it writes into trailing, and waits for it.
  // Returns its exit status, or 128 + the signal that ended it.
  int finish(std::string& trailing);

 private:
  // Reads exactly size bytes of the host's output; false when it ends first.
  bool readExactly(char* target, std::size_t size);

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
};
