#include <X11/Xlib.h>

void takeFocus(Display* display, unsigned long window) {
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XFlush(display);
}
