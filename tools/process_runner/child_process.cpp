#include "tools/process_runner/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace quillet::process_runner {

namespace {

// Closes fd if it is open and marks it closed.
void closeFd(int& fd) {
  if (fd != -1) close(fd);
  fd = -1;
}

// Returns the name part of a "NAME=value" entry.
std::string variableName(const char* entry) {
  const char* equals = std::strchr(entry, '=');
  return equals == nullptr ? std::string(entry) : std::string(entry, equals - entry);
}

// Returns the child's environment as "NAME=value" strings.
std::vector<std::string> childEnvironment(const ProcessOptions& options) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string name = variableName(*entry);
    bool dropped =
        options.environment.count(name) != 0 ||
        std::find(options.unset.begin(), options.unset.end(), name) != options.unset.end();
    if (!dropped) result.emplace_back(*entry);
  }
  for (const auto& [name, value] : options.environment) result.push_back(name + "=" + value);
  return result;
}

// Returns pointers to the strings, followed by a null pointer, as exec wants them.
std::vector<char*> pointerList(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& text : strings) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Reads what fd has into buffer; closes fd at its end. Returns false when fd is closed.
bool drain(int& fd, std::string& buffer) {
  if (fd == -1) return false;
  char chunk[65536];
  ssize_t got = read(fd, chunk, sizeof chunk);
  if (got > 0) {
    buffer.append(chunk, static_cast<std::size_t>(got));
  } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
    closeFd(fd);
  }
  return true;
}

// Makes a pipe whose descriptors are closed in the child's program.
void makePipe(int fds[2]) {
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
}

// Makes writes into a pipe whose reader has gone fail with EPIPE in the test process.
void ignoreBrokenPipes() {
  static const bool once = [] {
    std::signal(SIGPIPE, SIG_IGN);
    return true;
  }();
  (void)once;
}

// Connects the child's standard streams: input to in (or none), output to out, errors to
// err unless they are shared with ours.
void connectStreams(posix_spawn_file_actions_t* actions, const ProcessOptions& options,
                    const int in[2], const int out[2], const int err[2]) {
  if (options.withoutInput) {
    posix_spawn_file_actions_addclose(actions, 0);
  } else {
    posix_spawn_file_actions_adddup2(actions, in[0], 0);
  }
  posix_spawn_file_actions_adddup2(actions, out[1], 1);
  if (!options.sharedErrors) posix_spawn_file_actions_adddup2(actions, err[1], 2);
}

// Gives the child every signal's default handling and an empty signal mask.
void defaultSignals(posix_spawnattr_t* attributes) {
  sigset_t all, none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(attributes, &all);
  posix_spawnattr_setsigmask(attributes, &none);
  posix_spawnattr_setflags(attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
}

// Starts options' program on the pipes into *pid. Returns 0, or the error number.
int spawn(const ProcessOptions& options, const int in[2], const int out[2], const int err[2],
          pid_t* pid) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  connectStreams(&actions, options, in, out, err);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  defaultSignals(&attributes);
  std::vector<std::string> argumentStrings{options.program};
  argumentStrings.insert(argumentStrings.end(), options.arguments.begin(), options.arguments.end());
  std::vector<std::string> environmentStrings = childEnvironment(options);
  std::vector<char*> argv = pointerList(argumentStrings);
  std::vector<char*> envp = pointerList(environmentStrings);
  int failed =
      posix_spawn(pid, options.program.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return failed;
}

}  // namespace

ChildProcess::ChildProcess(const ProcessOptions& options) {
  ignoreBrokenPipes();
  int in[2], out[2], err[2] = {-1, -1};
  makePipe(in);
  makePipe(out);
  if (!options.sharedErrors) makePipe(err);
  int failed = spawn(options, in, out, err, &pid_);
  close(in[0]);
  close(out[1]);
  closeFd(err[1]);
  input_ = in[1];
  output_ = out[0];
  errors_ = err[0];
  if (failed != 0) {
    pid_ = -1;
    closeFd(input_);
    closeFd(output_);
    closeFd(errors_);
    throw std::runtime_error("cannot start " + options.program + ": " + std::strerror(failed));
  }
  fcntl(input_, F_SETFL, fcntl(input_, F_GETFL) | O_NONBLOCK);
}

ChildProcess::~ChildProcess() {
  closeFd(input_);
  closeFd(output_);
  closeFd(errors_);
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool ChildProcess::write(std::string_view bytes) {
  while (!bytes.empty()) {
    if (input_ == -1) return false;
    pollfd fds[3] = {{input_, POLLOUT, 0}, {output_, POLLIN, 0}, {errors_, POLLIN, 0}};
    if (poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (fds[1].revents != 0) drain(output_, pendingOutput_);
    if (fds[2].revents != 0) drain(errors_, errorText_);
    if (fds[0].revents == 0) continue;
    ssize_t put = ::write(input_, bytes.data(), bytes.size());
    if (put > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(put));
    } else if (errno != EAGAIN && errno != EINTR) {
      return false;
    }
  }
  return true;
}

void ChildProcess::closeInput() { closeFd(input_); }

void ChildProcess::closeOutput() {
  closeFd(output_);
  pendingOutput_.clear();
}

bool ChildProcess::pump() {
  if (output_ == -1 && errors_ == -1) return false;
  pollfd fds[2] = {{output_, POLLIN, 0}, {errors_, POLLIN, 0}};
  if (poll(fds, 2, -1) < 0) return errno == EINTR;
  if (fds[0].revents != 0) drain(output_, pendingOutput_);
  if (fds[1].revents != 0) drain(errors_, errorText_);
  return true;
}

std::optional<std::string> ChildProcess::readExactly(std::size_t size) {
  while (pendingOutput_.size() < size) {
    if (output_ == -1 || !pump()) {
      pendingOutput_.clear();  // the output ended inside what was asked for
      return std::nullopt;
    }
  }
  std::string taken = pendingOutput_.substr(0, size);
  pendingOutput_.erase(0, size);
  return taken;
}

ProcessOutcome ChildProcess::finish() {
  closeInput();
  while (pump()) {
  }
  ProcessOutcome outcome;
  outcome.output = std::move(pendingOutput_);
  outcome.errors = std::move(errorText_);
  int status = 0;
  if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) {
    if (WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  }
  pid_ = -1;
  return outcome;
}

ProcessOutcome runProcess(const ProcessOptions& options, std::string_view input) {
  ChildProcess child(options);
  child.write(input);
  return child.finish();
}

}  // namespace quillet::process_runner
