/* x11-close WINDOW_ID: asks an X11 window to close, as a window manager's close box does
 * (WM_DELETE_WINDOW), so the program runs its own close handling. Used by ./run and the
 * end-to-end tests, which run under Xvfb without a window manager. */
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: x11-close WINDOW_ID\n");
    return 2;
  }
  Display* display = XOpenDisplay(NULL);
  if (display == NULL) {
    fprintf(stderr, "x11-close: cannot open display\n");
    return 1;
  }
  Window window = (Window)strtoul(argv[1], NULL, 0);
  XEvent event = {0};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
  event.xclient.data.l[1] = CurrentTime;
  Status sent = XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
  XCloseDisplay(display);
  return sent ? 0 : 1;
}
