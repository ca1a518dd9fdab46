#include "tests/support/x_display.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace quillet::test {
namespace {

const std::string kWindowTool = std::string(QUILLET_TEST_TOOLS_DIR) + "/x11_window_tool";

std::vector<char*> Argv(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  return argv;
}

// Starts a program with its standard output (and, when `input` is given, its standard
// input) on pipes. Returns the process id, -1 when it cannot start.
pid_t Spawn(const std::vector<std::string>& args, int* output, int* input = nullptr,
            bool quiet = false) {
  int out_pipe[2] = {-1, -1};
  int in_pipe[2] = {-1, -1};
  if (pipe2(out_pipe, O_CLOEXEC) != 0) return -1;
  if (input != nullptr && pipe2(in_pipe, O_CLOEXEC) != 0) {
    ::close(out_pipe[0]);
    ::close(out_pipe[1]);
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
  if (input != nullptr) posix_spawn_file_actions_adddup2(&actions, in_pipe[0], STDIN_FILENO);
  if (quiet) posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  std::vector<char*> argv = Argv(args);
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(out_pipe[1]);
  *output = out_pipe[0];
  if (input != nullptr) {
    ::close(in_pipe[0]);
    *input = in_pipe[1];
  }
  return pid;
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t got = 0;
  while ((got = read(fd, buffer, sizeof(buffer))) > 0) text.append(buffer, got);
  return text;
}

std::string ReadLine(int fd) {
  std::string line;
  char c = 0;
  while (read(fd, &c, 1) == 1 && c != '\n') line.push_back(c);
  return line;
}

bool WaitExited(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

XvfbDisplay::XvfbDisplay() {
  int output = -1;
  // -displayfd: the server picks a free display number and writes it to the pipe once
  // it accepts connections.
  server_ = Spawn({"Xvfb", "-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"},
                  &output, /*input=*/nullptr, /*quiet=*/true);
  if (server_ < 0) {
    ADD_FAILURE() << "cannot start Xvfb";
    return;
  }
  const std::string number = ReadLine(output);
  ::close(output);
  if (number.empty()) {
    ADD_FAILURE() << "Xvfb did not report its display";
    return;
  }
  name_ = ":" + number;
  const char* current = std::getenv("DISPLAY");
  hadDisplay_ = current != nullptr;
  if (hadDisplay_) oldDisplay_ = current;
  setenv("DISPLAY", name_.c_str(), 1);
  // No accessibility bus under the test server.
  setenv("NO_AT_BRIDGE", "1", 1);
}

XvfbDisplay::~XvfbDisplay() {
  if (hadDisplay_) {
    setenv("DISPLAY", oldDisplay_.c_str(), 1);
  } else {
    unsetenv("DISPLAY");
  }
  if (server_ > 0) {
    kill(server_, SIGTERM);
    int status = 0;
    waitpid(server_, &status, 0);
  }
}

bool WindowDriver::run(const std::vector<std::string>& args, std::string* output) {
  int out = -1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_) return false;
    running_ = Spawn(args, &out);
    if (running_ < 0) return false;
  }
  std::string text = ReadAll(out);
  ::close(out);
  pid_t pid = -1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pid = running_;
  }
  const bool ok = WaitExited(pid);
  std::lock_guard<std::mutex> lock(mutex_);
  running_ = -1;
  if (output != nullptr) *output = std::move(text);
  return ok && !cancelled_;
}

void WindowDriver::cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelled_ = true;
  if (running_ > 0) kill(running_, SIGTERM);
}

bool WindowDriver::cancelled() {
  std::lock_guard<std::mutex> lock(mutex_);
  return cancelled_;
}

unsigned long WindowDriver::search(const std::vector<std::string>& args) {
  // xdotool's search waits (--sync) and fails only when it cannot talk to the server; a
  // connection refused now and then by a busy server is tried again rather than leaving
  // the dialog waiting for a user who never comes.
  for (int attempt = 0; attempt < 50 && !cancelled(); ++attempt) {
    std::string found;
    if (run(args, &found)) return std::strtoul(found.c_str(), nullptr, 10);
    const char* display = std::getenv("DISPLAY");
    std::fprintf(stderr, "window search failed (DISPLAY=%s), trying again\n",
                 display != nullptr ? display : "unset");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return 0;
}

unsigned long WindowDriver::waitForWindow(pid_t pid) {
  return search({"xdotool", "search", "--sync", "--onlyvisible", "--pid", std::to_string(pid)});
}

unsigned long WindowDriver::waitForProgramWindow(const std::string& program) {
  return search({"xdotool", "search", "--sync", "--onlyvisible", "--classname", program});
}

bool WindowDriver::pressKeys(unsigned long window, const std::vector<std::string>& keys) {
  const std::string id = std::to_string(window);
  if (!run({"xdotool", "windowfocus", "--sync", id})) return false;
  for (const std::string& key : keys) {
    if (!run({"xdotool", "key", "--clearmodifiers", key})) return false;
  }
  return true;
}

bool WindowDriver::typeText(unsigned long window, const std::string& text) {
  const std::string id = std::to_string(window);
  return run({"xdotool", "windowfocus", "--sync", id}) &&
         run({"xdotool", "type", "--delay", "50", text});
}

bool WindowDriver::click(unsigned long window, int x, int y) {
  return run({"xdotool", "mousemove", "--sync", "--window", std::to_string(window),
              std::to_string(x), std::to_string(y), "click", "1"});
}

WindowGeometry WindowDriver::geometry(unsigned long window) {
  std::string text;
  WindowGeometry geometry;
  if (!run({"xdotool", "getwindowgeometry", "--shell", std::to_string(window)}, &text)) {
    return geometry;
  }
  auto value = [&text](const std::string& key) {
    const std::size_t at = text.find(key + "=");
    return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + key.size() + 1);
  };
  geometry.x = value("X");
  geometry.y = value("Y");
  geometry.width = value("WIDTH");
  geometry.height = value("HEIGHT");
  return geometry;
}

std::string WindowDriver::title(unsigned long window) {
  std::string title;
  run({"xdotool", "getwindowname", std::to_string(window)}, &title);
  if (!title.empty() && title.back() == '\n') title.pop_back();
  return title;
}

bool WindowDriver::close(unsigned long window) {
  return run({kWindowTool, "close", std::to_string(window)});
}

unsigned long WindowDriver::transientFor(unsigned long window) {
  std::string owner;
  if (!run({kWindowTool, "transient-for", std::to_string(window)}, &owner)) return 0;
  return std::strtoul(owner.c_str(), nullptr, 10);
}

bool WindowDriver::screenshot(unsigned long window, const std::string& path) {
  return run({"import", "-window", std::to_string(window), path});
}

int runWithDriver(const std::function<int()>& code,
                  const std::function<void(WindowDriver&)>& script) {
  WindowDriver driver;
  std::thread driving([&driver, &script] { script(driver); });
  const int result = code();
  driver.cancel();
  driving.join();
  return result;
}

OwnerWindow::OwnerWindow() {
  int output = -1;
  int input = -1;
  process_ = Spawn({kWindowTool, "owner"}, &output, &input);
  if (process_ < 0) {
    ADD_FAILURE() << "cannot start " << kWindowTool;
    return;
  }
  input_ = input;
  window_ = std::strtoul(ReadLine(output).c_str(), nullptr, 10);
  ::close(output);
  if (window_ == 0) ADD_FAILURE() << "no owner window";
}

OwnerWindow::~OwnerWindow() {
  if (input_ >= 0) ::close(input_);
  if (process_ > 0) WaitExited(process_);
}

}  // namespace quillet::test
