// Running a program of ours as a child process over pipes, as the browser runs the host:
// standard input, output and error are pipes of the caller (standard error may stay the
// caller's own). The child gets the caller's environment minus the variables named in
// unset, plus those of environment; signals are at their defaults in it (SIGPIPE too), and
// SIGPIPE is ignored in the caller, so that a child that goes away fails a write instead of
// ending the caller. The one process runner of quillet-client and the tests.
#pragma once

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::process_runner {

// What to run, and with which environment.
struct ProcessOptions {
  std::string program;                             // path of the executable
  std::vector<std::string> arguments;              // after argv[0] (which is program)
  std::map<std::string, std::string> environment;  // set in the child
  std::vector<std::string> unset;                  // removed from the inherited environment
  bool withoutInput = false;                       // start with standard input closed
  bool sharedErrors = false;  // the child writes to the caller's standard error, not a pipe
};

// How a child ended and what it wrote.
struct ProcessOutcome {
  std::string output;  // everything on standard output
  std::string errors;  // everything on standard error (empty when it was shared)
  int exitCode = -1;   // the exit status (0-255), or -1 when a signal ended it
  int signal = 0;      // the signal that ended it, or 0
};

// A running child. Its standard error (unless shared) is collected in the background of
// every read and write, so a chatty child cannot block.
class ChildProcess {
 public:
  // Starts the program; throws std::runtime_error when it cannot be started.
  explicit ChildProcess(const ProcessOptions& options);
  // Kills the child if it still runs, and reaps it.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Writes bytes to the child's standard input; false when the child has closed it.
  bool write(std::string_view bytes);
  // Closes the child's standard input (end of input for the child).
  void closeInput();
  // Closes the caller's end of the child's standard output: the child's writes fail from now.
  void closeOutput();
  // Reads exactly size bytes of standard output, blocking; nullopt when the output ends
  // first (what did arrive is dropped).
  std::optional<std::string> readExactly(std::size_t size);
  // Closes standard input, reads both outputs to their end, and waits for the child.
  // Standard output already taken by readExactly is not repeated.
  ProcessOutcome finish();
  // The child's process id.
  pid_t pid() const { return pid_; }

 private:
  // Reads from whichever of standard output and error has data, appending to the buffers.
  // Returns false when neither output can deliver more.
  bool pump();

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  int errors_ = -1;
  std::string pendingOutput_;
  std::string errorText_;
};

// Runs options' program with input on its standard input (then closed) to its end.
ProcessOutcome runProcess(const ProcessOptions& options, std::string_view input);

}  // namespace quillet::process_runner
