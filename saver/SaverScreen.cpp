#include "saver/SaverScreen.h"

#include <X11/Xatom.h>
#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/Waits.h"
#include "wallpaper/DesktopX11.h"
#include "wallpaper/WallpaperFile.h"

namespace vorlane::saver {
namespace {

// The window this process draws in: an error about it means it is gone (the screen saver ended), and
// the program ends quietly; other errors (a picture too large for the server) are judged where made.
Window g_window = None;

int OnXError(Display*, XErrorEvent* error)
{
    if (error->resourceid == g_window && (error->error_code == BadWindow || error->error_code == BadDrawable))
        std::_Exit(0);
    return 0;
}

// $XSCREENSAVER_WINDOW: "0x..." or decimal; None when unset or not a number.
Window EnvironmentWindow()
{
    const char* text = std::getenv("XSCREENSAVER_WINDOW");
    if (!text || !*text)
        return None;
    char* end = nullptr;
    const unsigned long id = std::strtoul(text, &end, 0);
    return *end == '\0' ? Window(id) : None;
}

// The virtual root, as screen savers have found it: the window XScreenSaver gave this program, else the
// window a window manager names with __SWM_VROOT on a child of the root, else the root.
Window VirtualRoot(Display* display)
{
    if (const Window given = EnvironmentWindow(); given != None)
        return given;
    const Window root = DefaultRootWindow(display);
    const Atom vroot = XInternAtom(display, "__SWM_VROOT", False);
    Window rootReturn = None, parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    Window found = root;
    if (XQueryTree(display, root, &rootReturn, &parent, &children, &count) && children) {
        for (unsigned int i = 0; i < count && found == root; ++i) {
            Atom type = None;
            int format = 0;
            unsigned long items = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(display, children[i], vroot, 0, 1, False, XA_WINDOW, &type, &format, &items, &after,
                                   &data) == Success &&
                type == XA_WINDOW && format == 32 && items == 1 && data)
                found = *reinterpret_cast<const Window*>(data);
            if (data)
                XFree(data);
        }
        XFree(children);
    }
    return found;
}

} // namespace

struct SaverScreen::State {
    Display* display = nullptr;
    Window window = None;
    bool own = false; // a window of this program's own, which the user may close
    Atom deleteWindow = None;

    ~State()
    {
        if (display)
            XCloseDisplay(display);
    }
};

SaverScreen::SaverScreen(const Options& options) : state_(std::make_unique<State>())
{
    State& s = *state_;
    s.display = XOpenDisplay(nullptr);
    if (!s.display) {
        failure_ = "cannot open the display";
        return;
    }
    XSetErrorHandler(OnXError);
    Display* display = s.display;
    if (options.windowId)
        s.window = *options.windowId;
    else if (options.root)
        s.window = VirtualRoot(display);
    else
        s.window = EnvironmentWindow();
    XWindowAttributes attributes{};
    if (s.window != None && !XGetWindowAttributes(display, s.window, &attributes)) {
        failure_ = "there is no window " + std::to_string(s.window);
        return;
    }
    if (s.window == None) {
        const int screen = DefaultScreen(display);
        s.window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 640, 480, 0,
                                       BlackPixel(display, screen), BlackPixel(display, screen));
        XStoreName(display, s.window, ProgramName);
        s.deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display, s.window, &s.deleteWindow, 1);
        XMapWindow(display, s.window);
        s.own = true;
    }
    g_window = s.window;
    // Told when the window goes (this connection's own mask; another program's stays as it is).
    XSelectInput(display, s.window, StructureNotifyMask);
}

SaverScreen::~SaverScreen() = default;

unsigned long SaverScreen::Draw(const std::string& picture, WallpaperPlacement placement)
{
    State& s = *state_;
    X11RootDrawing drawing(placement, s.display, s.window);
    if (!drawing.Ready())
        return None;
    XWindowAttributes attributes{};
    XGetWindowAttributes(s.display, s.window, &attributes);
    // A display of 8 bits or fewer gets JPEG pictures in at most 236 colours, as the desktop does.
    SendPictureRows(picture, attributes.depth <= 8 ? 8 : 24, drawing);
    return drawing.TakePixmap();
}

void SaverScreen::Show(unsigned long pixmap)
{
    State& s = *state_;
    XSetWindowBackgroundPixmap(s.display, s.window, pixmap);
    XClearWindow(s.display, s.window);
    XFreePixmap(s.display, pixmap);
    XFlush(s.display);
}

void SaverScreen::ShowText(const std::string& line)
{
    State& s = *state_;
    Display* display = s.display;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, s.window, &attributes))
        return;
    const int width = std::max(1, attributes.width), height = std::max(1, attributes.height);
    const int screen = XScreenNumberOfScreen(attributes.screen);
    const Pixmap pixmap =
        XCreatePixmap(display, s.window, unsigned(width), unsigned(height), unsigned(attributes.depth));
    const GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XSetForeground(display, gc, BlackPixel(display, screen));
    XFillRectangle(display, pixmap, gc, 0, 0, unsigned(width), unsigned(height));
    XFreeGC(display, gc);

    const Colormap colormap = attributes.colormap != None ? attributes.colormap : DefaultColormap(display, screen);
    if (XftDraw* draw = XftDrawCreate(display, pixmap, attributes.visual, colormap)) {
        const auto* text = reinterpret_cast<const FcChar8*>(line.data());
        // The largest size up to a thirtieth of the height at which the line fits the width.
        for (int size = std::max(10, height / 30); size >= 6; size = size * 4 / 5) {
            const std::string pattern = "IPAGothic,IPAPGothic,sans-serif:pixelsize=" + std::to_string(size);
            XftFont* font = XftFontOpenName(display, screen, pattern.c_str());
            if (!font)
                continue;
            XGlyphInfo extent{};
            XftTextExtentsUtf8(display, font, text, int(line.size()), &extent);
            if (extent.xOff <= width * 19 / 20 || size * 4 / 5 < 6) {
                XftColor white{};
                XRenderColor full{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
                if (XftColorAllocValue(display, attributes.visual, colormap, &full, &white)) {
                    XftDrawStringUtf8(draw, &white, font, (width - extent.xOff) / 2,
                                      (height - (font->ascent + font->descent)) / 2 + font->ascent, text,
                                      int(line.size()));
                    XftColorFree(display, attributes.visual, colormap, &white);
                }
                XftFontClose(display, font);
                break;
            }
            XftFontClose(display, font);
        }
        XftDrawDestroy(draw);
    }
    Show(pixmap);
}

bool SaverScreen::WaitUntil(Clock::time_point deadline)
{
    State& s = *state_;
    for (;;) {
        while (XPending(s.display) > 0) {
            XEvent event{};
            XNextEvent(s.display, &event);
            if (event.type == DestroyNotify && event.xdestroywindow.window == s.window)
                return false;
            if (s.own && event.type == ClientMessage && Atom(event.xclient.data.l[0]) == s.deleteWindow)
                return false;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return true;
        WaitToRead(ConnectionNumber(s.display), int(std::min<long long>(left, 60'000)));
    }
}

} // namespace vorlane::saver
