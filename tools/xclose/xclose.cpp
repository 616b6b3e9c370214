// xclose WINDOW_ID: asks a window to close the way a window manager does, by sending it a
// WM_DELETE_WINDOW client message. Test helper: with no window manager running, no stock X
// tool sends this (xdotool windowclose destroys the window instead).
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

namespace {

// The top-level window (a child of the root) that holds the given one: window managers
// address the top level, and that is where WM_PROTOCOLS is set.
Window top_level(Display* display, Window window) {
    for (;;) {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, window, &root, &parent, &children, &count)) return window;
        if (children != nullptr) XFree(children);
        if (parent == root || parent == 0) return window;
        window = parent;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: xclose WINDOW_ID\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "xclose: cannot open the X display\n");
        return 1;
    }
    Window window = top_level(display, std::strtoul(argv[1], nullptr, 0));
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
