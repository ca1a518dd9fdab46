// Driving the real QuilletHost (and the other programs of build/bin) over pipes.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/process_runner/child_process.h"

namespace quillet::test {

// The process runner the tests share with quillet-client.
using process_runner::ChildProcess;
using process_runner::ProcessOptions;
using process_runner::ProcessOutcome;
using process_runner::runProcess;

// Returns the runtime directory under test (build/bin of the build that made the tests).
std::string binDirectory();
// Returns the path of the QuilletHost program under test.
std::string hostProgram();

// How to run the host. HOME, XDG_DATA_HOME and QUILLET_DEBUG_OUTPUT are never inherited from
// the test: only those given here reach the host (so no test writes the developer's log).
struct HostOptions {
  std::string program;  // the host to run; empty: hostProgram()
  std::vector<std::string> arguments;
  std::map<std::string, std::string> environment;
  bool withoutInput = false;  // start the host with its standard input closed
};

// Returns the ProcessOptions that run the host with options.
ProcessOptions hostProcessOptions(const HostOptions& options);

// Runs the host on input (raw bytes, then end of input) until it exits.
ProcessOutcome runHost(std::string_view input, const HostOptions& options = {});

// A host talked to one message at a time.
class HostProcess {
 public:
  // Starts the host.
  explicit HostProcess(const HostOptions& options = {});

  // Writes body framed; false when the host has closed its input.
  bool send(std::string_view body);
  // Reads one framed answer, blocking; nullopt when the output ends first.
  std::optional<std::string> receive();
  // Closes the test's end of the host's standard output, as a browser that goes away does.
  void closeOutput() { child_.closeOutput(); }
  // Ends the input, collects the rest and waits for the host.
  ProcessOutcome finish() { return child_.finish(); }
  // The host's process id.
  pid_t pid() const { return child_.pid(); }

 private:
  ChildProcess child_;
};

}  // namespace quillet::test
