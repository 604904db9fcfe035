// Test helper: waits for a top-level window whose title begins with a given text to be mapped on the X
// display, prints its title, and asks it to close as a window manager does (WM_DELETE_WINDOW).
//   x-close-window TITLE-PREFIX SECONDS
// Exit status 0 when a window was found and asked to close, 1 on time-out, 2 on usage or display errors.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

Display* display = nullptr;

std::string Title(Window window)
{
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    for (const Atom property : {netName, Atom(XA_WM_NAME)}) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, window, property, 0, 4096, False, property == netName ? utf8 : AnyPropertyType,
                               &type, &format, &count, &after, &data) == Success &&
            data) {
            std::string title(reinterpret_cast<char*>(data), count);
            XFree(data);
            if (format == 8 && !title.empty())
                return title;
        }
    }
    return {};
}

bool Matches(Window window, const std::string& prefix)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
        return false;
    return Title(window).rfind(prefix, 0) == 0;
}

void AskToClose(Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

// The window itself or, under a window manager that puts windows into frames of its own, the window in
// a frame.
Window MatchingWithin(Window window, const std::string& prefix, int depth = 0)
{
    if (Matches(window, prefix))
        return window;
    Window rootReturn = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    Window match = 0;
    if (depth < 3 && XQueryTree(display, window, &rootReturn, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count && !match; ++i)
            match = MatchingWithin(children[i], prefix, depth + 1);
        XFree(children);
    }
    return match;
}

int IgnoreErrors(Display*, XErrorEvent*)
{
    return 0; // windows may vanish between an event and the look at them
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TITLE-PREFIX SECONDS\n", argv[0]);
        return 2;
    }
    const std::string prefix = argv[1];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[2]));
    display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "cannot open the display\n");
        return 2;
    }
    XSetErrorHandler(IgnoreErrors);
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    // Windows mapped before we listened, then every window mapped or renamed since.
    const auto found = [&](Window frame) {
        const Window window = MatchingWithin(frame, prefix);
        if (!window)
            return false;
        std::printf("%s\n", Title(window).c_str());
        std::fflush(stdout);
        AskToClose(window);
        return true;
    };
    Window rootReturn = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, root, &rootReturn, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count; ++i) {
            XSelectInput(display, children[i], PropertyChangeMask);
            if (found(children[i])) {
                XFree(children);
                XCloseDisplay(display);
                return 0;
            }
        }
        XFree(children);
    }

    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            Window window = 0;
            if (event.type == CreateNotify) {
                XSelectInput(display, event.xcreatewindow.window, PropertyChangeMask);
            } else if (event.type == MapNotify) {
                window = event.xmap.window;
            } else if (event.type == PropertyNotify) {
                window = event.xproperty.window;
            }
            if (window && found(window)) {
                XCloseDisplay(display);
                return 0;
            }
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            std::fprintf(stderr, "no window titled \"%s...\" appeared\n", prefix.c_str());
            return 1;
        }
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        ::poll(&connection, 1, int(left.count()));
    }
}
