// A private X display for the tests of the selection dialog: an Xvfb server started for
// the test, and a driver that finds, inspects and operates the dialog's window the way a
// user would, with xdotool (keys, clicks, focus) and Xlib where xdotool has no command
// (closing a window like a window manager does, reading the owner-window hint).
#pragma once

#include <sys/types.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace quillet::test {

// Starts Xvfb on a free display number and points DISPLAY at it (for this process and
// the programs it starts); stops the server and restores DISPLAY when destroyed.
class XvfbDisplay {
 public:
  XvfbDisplay();
  ~XvfbDisplay();
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  // ":N", or "" when the server could not be started (the test has failed then).
  const std::string& name() const { return name_; }

 private:
  pid_t server_ = -1;
  std::string name_;
  std::string oldDisplay_;
  bool hadDisplay_ = false;
};

// Window geometry in screen pixels.
struct WindowGeometry {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Operates windows of the current DISPLAY. Every call blocks until its command is done;
// waitForWindow waits as long as it takes for the window to appear. Cancel, called from
// another thread, ends the running command and makes every later call fail at once: for
// when the code under test has returned without showing the window awaited.
class WindowDriver {
 public:
  // Waits for a visible top-level window of the process `pid` (_NET_WM_PID; xdotool
  // cannot match non-Latin titles, so check the title with Title); returns its id, 0
  // when cancelled.
  unsigned long waitForWindow(pid_t pid);
  // The same for a visible top-level window whose WM_CLASS name is `program` (GTK names
  // its windows after the program), for a program whose process id the test does not know.
  unsigned long waitForProgramWindow(const std::string& program);
  // Gives the window the keyboard focus and types the keys (xdotool key names such as
  // "Down", "Return", "Escape", "ctrl+a"), one after the other.
  bool pressKeys(unsigned long window, const std::vector<std::string>& keys);
  // Types text (UTF-8) into the focused window, as a user would.
  bool typeText(unsigned long window, const std::string& text);
  // Clicks the left button at a point relative to the window's top-left corner.
  bool click(unsigned long window, int x, int y);
  // Returns the window's geometry (zeros when it cannot be read).
  WindowGeometry geometry(unsigned long window);
  // Returns the window's title as xdotool reads it.
  std::string title(unsigned long window);
  // Asks the window to close as a window manager does (WM_DELETE_WINDOW).
  bool close(unsigned long window);
  // Returns the window the given one is transient for (WM_TRANSIENT_FOR), 0 for none.
  unsigned long transientFor(unsigned long window);
  // Writes a PNG of the window to `path`.
  bool screenshot(unsigned long window, const std::string& path);

  // Ends the running command; later calls return at once with failure.
  void cancel();
  bool cancelled();

 private:
  // Runs a program to its end; false when it failed or was cancelled.
  bool run(const std::vector<std::string>& args, std::string* output = nullptr);
  // The window that an xdotool search finds, 0 when none or cancelled.
  unsigned long search(const std::vector<std::string>& args);

  std::mutex mutex_;
  bool cancelled_ = false;
  pid_t running_ = -1;
};

// Runs `script` with a driver on a second thread while `code` runs on this one (the
// dialog must run on the thread that runs GTK), then cancels what remains of the script
// and waits for it. Returns what `code` returned.
int runWithDriver(const std::function<int()>& code,
                  const std::function<void(WindowDriver&)>& script);

// A plain mapped top-level X window to own a dialog (made by a helper program that
// keeps it until this object is destroyed).
class OwnerWindow {
 public:
  OwnerWindow();
  ~OwnerWindow();
  OwnerWindow(const OwnerWindow&) = delete;
  OwnerWindow& operator=(const OwnerWindow&) = delete;

  unsigned long id() const { return window_; }

 private:
  pid_t process_ = -1;
  int input_ = -1;
  unsigned long window_ = 0;
};

}  // namespace quillet::test
