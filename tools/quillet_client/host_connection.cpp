#include "tools/quillet_client/host_session.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace {

void closeFd(int& fd) {
  if (fd != -1) close(fd);
  fd = -1;
}

// Writes all of data to fd; false on failure.
bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t put = write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

}  // namespace

HostSession::HostSession(const std::string& program, const std::vector<std::string>& arguments) {
  // A host that dies must not take the client with it: writes then fail with EPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    throw std::runtime_error("cannot make a pipe");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  std::vector<std::string> strings{program};
  strings.insert(strings.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : strings) argv.push_back(text.data());
  argv.push_back(nullptr);
  int failed = posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(in[0]);
  close(out[1]);
  input_ = in[1];
  output_ = out[0];
  if (failed != 0) {
    pid_ = -1;
    closeFd(input_);
    closeFd(output_);
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(failed));
  }
}

HostSession::~HostSession() {
  closeFd(input_);
  closeFd(output_);
  if (pid_ > 0) waitpid(pid_, nullptr, 0);
}

bool HostSession::send(const std::string& body) {
  if (input_ == -1) return false;
  auto length = static_cast<std::uint32_t>(body.size());
  const char prefix[4] = {static_cast<char>(length), static_cast<char>(length >> 8),
                          static_cast<char>(length >> 16), static_cast<char>(length >> 24)};
  return writeAll(input_, prefix, sizeof prefix) && writeAll(input_, body.data(), body.size());
}

bool HostSession::readExactly(char* target, std::size_t size) {
  while (size > 0) {
    ssize_t got = read(output_, target, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    target += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

std::optional<std::string> HostSession::receive() {
  unsigned char prefix[4];
  if (!readExactly(reinterpret_cast<char*>(prefix), sizeof prefix)) return std::nullopt;
  std::uint32_t length =
      prefix[0] | prefix[1] << 8 | prefix[2] << 16 | static_cast<std::uint32_t>(prefix[3]) << 24;
  std::string body(length, '\0');
  if (!readExactly(body.data(), body.size())) return std::nullopt;
  return body;
}

int HostSession::finish(std::string& trailing) {
  closeFd(input_);
  char chunk[4096];
  for (;;) {
    ssize_t got = read(output_, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    trailing.append(chunk, static_cast<std::size_t>(got));
  }
  closeFd(output_);
  int status = 0;
  pid_t waited;
  do {
    waited = waitpid(pid_, &status, 0);
  } while (waited < 0 && errno == EINTR);
  pid_ = -1;
  if (waited < 0) return 128;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
