// What the dialog tests need from X11 beyond xdotool, as a program of its own so that
// no Xlib connection shares the test process with GTK's:
//   x11_window_tool close <window>          asks the window to close (WM_DELETE_WINDOW),
//                                           as a window manager's close button does
//   x11_window_tool transient-for <window>  prints the WM_TRANSIENT_FOR window, 0 for none
//   x11_window_tool owner                   maps a plain top-level window, prints its id,
//                                           and keeps it until standard input ends
// Exit code 0 on success, 1 when the display or the window cannot be used, 2 on misuse.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int Close(Display* display, Window window) {
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
  return sent != 0 ? 0 : 1;
}

int TransientFor(Display* display, Window window) {
  Window owner = 0;
  if (XGetTransientForHint(display, window, &owner) == 0) owner = 0;
  std::printf("%lu\n", static_cast<unsigned long>(owner));
  return 0;
}

int Owner(Display* display) {
  const int screen = DefaultScreen(display);
  const Window window =
      XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 320, 200, 0,
                          BlackPixel(display, screen), WhitePixel(display, screen));
  XStoreName(display, window, "Quillet owner window");
  XMapWindow(display, window);
  XSync(display, False);
  std::printf("%lu\n", static_cast<unsigned long>(window));
  std::fflush(stdout);
  while (std::fgetc(stdin) != EOF) {
  }
  XDestroyWindow(display, window);
  XSync(display, False);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 1;
  int result = 2;
  if (std::strcmp(argv[1], "owner") == 0) {
    result = Owner(display);
  } else if (argc == 3 && std::strcmp(argv[1], "close") == 0) {
    result = Close(display, std::strtoul(argv[2], nullptr, 0));
  } else if (argc == 3 && std::strcmp(argv[1], "transient-for") == 0) {
    result = TransientFor(display, std::strtoul(argv[2], nullptr, 0));
  }
  XCloseDisplay(display);
  return result;
}
