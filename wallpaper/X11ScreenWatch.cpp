#include "wallpaper/X11ScreenWatch.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

namespace vorlane {
namespace {

// What the root's picture is drawn for: the screen's size and its active monitors, in the server's order.
struct Layout {
    int width = 0;
    int height = 0;
    std::vector<std::tuple<int, int, int, int>> monitors;
    bool operator==(const Layout&) const = default;
};

Layout ReadLayout(Display* display, int screen)
{
    Layout layout{DisplayWidth(display, screen), DisplayHeight(display, screen), {}};
    int count = 0;
    if (XRRMonitorInfo* monitors = XRRGetMonitors(display, RootWindow(display, screen), True, &count)) {
        for (int i = 0; i < count; ++i)
            layout.monitors.emplace_back(monitors[i].x, monitors[i].y, monitors[i].width, monitors[i].height);
        XRRFreeMonitors(monitors);
    }
    return layout;
}

// The display going away ends the session, and the watch with it, quietly.
int DisplayGone(Display*)
{
    std::_Exit(0);
}

} // namespace

struct X11ScreenWatch::State {
    Display* display = nullptr;
    int screen = 0;
    int randrEvent = -1; // RandR's first event number; -1 without RandR 1.5
    Window owner = 0;
    Atom selection = 0;
    Layout seen;

    ~State()
    {
        if (display)
            XCloseDisplay(display); // gives the selection up with the window
    }
};

X11ScreenWatch::X11ScreenWatch() : state_(std::make_unique<State>())
{
    State& s = *state_;
    s.display = XOpenDisplay(nullptr);
    if (!s.display)
        return;
    XSetIOErrorHandler(DisplayGone);
    s.screen = DefaultScreen(s.display);
    const Window root = RootWindow(s.display, s.screen);
    s.selection = XInternAtom(s.display, ("_VORLANE_WALLPAPER_WATCH_S" + std::to_string(s.screen)).c_str(), False);
    XGrabServer(s.display); // the check and the taking are one step for other watchers
    if (XGetSelectionOwner(s.display, s.selection) == None) {
        XSetWindowAttributes attributes{};
        s.owner = XCreateWindow(s.display, root, -1, -1, 1, 1, 0, 0, InputOnly, CopyFromParent, 0, &attributes);
        XSetSelectionOwner(s.display, s.selection, s.owner, CurrentTime);
    }
    XUngrabServer(s.display);
    if (!s.owner || XGetSelectionOwner(s.display, s.selection) != s.owner) {
        s.owner = 0;
        return;
    }
    // A new screen size comes as RandR's screen change and as the root's ConfigureNotify; monitors set
    // or removed (RandR 1.5, xrandr --setmonitor) only as the latter.
    XSelectInput(s.display, root, StructureNotifyMask);
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (XRRQueryExtension(s.display, &eventBase, &errorBase) && XRRQueryVersion(s.display, &major, &minor)) {
        XRRSelectInput(s.display, root, RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
        s.randrEvent = eventBase;
    }
    s.seen = ReadLayout(s.display, s.screen);
}

X11ScreenWatch::~X11ScreenWatch() = default;

bool X11ScreenWatch::Ready() const
{
    return state_->owner != 0;
}

bool X11ScreenWatch::WaitForChange()
{
    State& s = *state_;
    if (!Ready())
        return false;
    for (;;) {
        XEvent event;
        XNextEvent(s.display, &event);
        if (event.type == SelectionClear && event.xselectionclear.selection == s.selection)
            return false; // another watcher took over
        if (s.randrEvent >= 0 && event.type == s.randrEvent + RRScreenChangeNotify)
            XRRUpdateConfiguration(&event); // Xlib's idea of the screen's size
        else if (event.type == ConfigureNotify)
            XRRUpdateConfiguration(&event);
        if (XPending(s.display))
            continue; // the rest of the same change first
        const Layout now = ReadLayout(s.display, s.screen);
        if (now != s.seen) {
            s.seen = now;
            return true;
        }
    }
}

} // namespace vorlane
