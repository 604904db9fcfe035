#include "wallpaper/DesktopX11.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/FileIdentity.h"
#include "platform/Process.h"
#include "wallpaper/BitmapRows.h"
#include "wallpaper/ScaledPicture.h"

namespace vorlane {
namespace {

// Xlib reports protocol errors to one process-wide handler whose default ends the process. While this
// code talks to the server it counts them instead (a stale pixmap id given to XKillClient, a pixmap too
// large for the server) and judges the outcome itself.
int g_errorCount = 0;

int CountError(Display*, XErrorEvent*)
{
    ++g_errorCount;
    return 0;
}

class Connection {
public:
    Connection() : Connection(XOpenDisplay(nullptr), true) {}
    // A display another part of the program opened and closes.
    explicit Connection(Display* borrowed) : Connection(borrowed, false) {}
    ~Connection()
    {
        if (display_) {
            if (owned_)
                XCloseDisplay(display_); // syncs first, so late errors are still counted
            else
                XSync(display_, False);
            XSetErrorHandler(previous_);
        }
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Display* get() const { return display_; }
    explicit operator bool() const { return display_ != nullptr; }
    // Waits for the server to have handled every request; true when none failed since the last check.
    bool Succeeded()
    {
        XSync(display_, False);
        const bool ok = g_errorCount == 0;
        g_errorCount = 0;
        return ok;
    }

private:
    Connection(Display* display, bool owned) : display_(display), owned_(owned)
    {
        if (display_) {
            previous_ = XSetErrorHandler(CountError);
            g_errorCount = 0;
        }
    }

    Display* display_;
    bool owned_;
    XErrorHandler previous_ = nullptr;
};

struct ImageDeleter {
    void operator()(XImage* image) const { XDestroyImage(image); } // frees the pixel data too
};

// How a 0xRRGGBB colour becomes a pixel value of the visual.
class PixelPacker {
public:
    explicit PixelPacker(const Visual* visual)
        : red_(visual->red_mask),
          green_(visual->green_mask),
          blue_(visual->blue_mask)
    {
    }
    bool IsPlain32(const XImage* image) const
    {
        return image->bits_per_pixel == 32 && red_.mask == 0xFF0000 && green_.mask == 0xFF00 && blue_.mask == 0xFF &&
               image->byte_order == (std::endian::native == std::endian::little ? LSBFirst : MSBFirst);
    }
    unsigned long Pack(Rgb colour) const
    {
        return red_.Place(RedOf(colour)) | green_.Place(GreenOf(colour)) | blue_.Place(BlueOf(colour));
    }

private:
    struct Channel {
        explicit Channel(unsigned long m) : mask(m)
        {
            if (mask != 0) {
                shift = std::countr_zero(mask);
                bits = std::popcount(mask);
            }
        }
        unsigned long Place(uint8_t value) const
        {
            if (bits == 0)
                return 0;
            const unsigned long scaled = bits >= 8 ? (unsigned long)value << (bits - 8) : value >> (8 - bits);
            return (scaled << shift) & mask;
        }
        unsigned long mask;
        int shift = 0;
        int bits = 0;
    };
    Channel red_, green_, blue_;
};

// Columns [x0, x1) of a bitmap row as 0xRRGGBB, through `palette` at 8 bits per pixel or fewer.
void ConvertRow(const uint8_t* row, int bitsPerPixel, const std::array<Rgb, 256>& palette, int x0, int x1, Rgb* out)
{
    switch (bitsPerPixel) {
    case 1:
        for (int x = x0; x < x1; ++x)
            *out++ = palette[(row[x >> 3] >> (7 - (x & 7))) & 1];
        break;
    case 4:
        for (int x = x0; x < x1; ++x)
            *out++ = palette[(x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4)];
        break;
    case 8:
        for (int x = x0; x < x1; ++x)
            *out++ = palette[row[x]];
        break;
    case 16:
        // 5-5-5 (bit 15 unused): each channel widened by repeating its top bits, so white stays white.
        for (int x = x0; x < x1; ++x) {
            const unsigned v = unsigned(row[2 * x] | (row[2 * x + 1] << 8));
            const unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
            *out++ = MakeRgb(uint8_t((r << 3) | (r >> 2)), uint8_t((g << 3) | (g >> 2)), uint8_t((b << 3) | (b >> 2)));
        }
        break;
    case 24:
        for (const uint8_t* p = row + size_t(x0) * 3; p < row + size_t(x1) * 3; p += 3)
            *out++ = MakeRgb(p[2], p[1], p[0]);
        break;
    case 32:
        for (const uint8_t* p = row + size_t(x0) * 4; p < row + size_t(x1) * 4; p += 4)
            *out++ = MakeRgb(p[2], p[1], p[0]);
        break;
    default:
        std::fill(out, out + (x1 - x0), Rgb(0));
        break;
    }
}

// One monitor's part of the screen, in root-window pixels.
struct ScreenArea {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The screen's active RandR monitors, or the whole screen when the server names none (no RandR 1.5).
std::vector<ScreenArea> ReadMonitors(Display* display, Window root, int width, int height)
{
    std::vector<ScreenArea> areas;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (XRRQueryExtension(display, &eventBase, &errorBase) && XRRQueryVersion(display, &major, &minor) &&
        (major > 1 || (major == 1 && minor >= 5))) {
        int count = 0;
        if (XRRMonitorInfo* monitors = XRRGetMonitors(display, root, True, &count)) {
            for (int i = 0; i < count; ++i) {
                const XRRMonitorInfo& m = monitors[i];
                const ScreenArea area{m.x, m.y, m.width, m.height};
                const bool onScreen = m.width > 0 && m.height > 0 && m.x < width && m.y < height && m.x + m.width > 0 &&
                                      m.y + m.height > 0;
                const bool known = std::any_of(areas.begin(), areas.end(), [&](const ScreenArea& a) {
                    return a.x == area.x && a.y == area.y && a.width == area.width && a.height == area.height;
                }); // mirrored outputs show the same part
                if (onScreen && !known)
                    areas.push_back(area);
            }
            XRRFreeMonitors(monitors);
        }
    }
    if (areas.empty())
        areas.push_back({0, 0, width, height});
    return areas;
}

// The single value of a root-window-style property of type `type`; None when it is missing, of
// another shape, or the window is gone.
unsigned long ReadIdProperty(Display* display, Window window, Atom property, Atom type)
{
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    unsigned long id = None;
    if (XGetWindowProperty(display, window, property, 0, 1, False, type, &actual, &format, &count, &after, &data) ==
            Success &&
        actual == type && format == 32 && count == 1 && data)
        id = *reinterpret_cast<const unsigned long*>(data); // format 32 comes back as longs
    if (data)
        XFree(data);
    return id;
}

struct Atoms {
    explicit Atoms(Display* display)
        : rootPixmap(XInternAtom(display, "_XROOTPMAP_ID", False)),
          esetrootPixmap(XInternAtom(display, "ESETROOT_PMAP_ID", False)),
          setter(XInternAtom(display, "_VORLANE_SETTER_WINDOW", False)),
          setterPixmap(XInternAtom(display, "_VORLANE_PMAP_ID", False)),
          windowType(XInternAtom(display, "_NET_WM_WINDOW_TYPE", False)),
          desktopType(XInternAtom(display, "_NET_WM_WINDOW_TYPE_DESKTOP", False))
    {
    }
    Atom rootPixmap, esetrootPixmap, setter, setterPixmap, windowType, desktopType;
};

bool IsDesktopWindow(Display* display, Window window, const Atoms& atoms)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool desktop = false;
    if (XGetWindowProperty(display, window, atoms.windowType, 0, 32, False, XA_ATOM, &type, &format, &count, &after,
                           &data) == Success &&
        type == XA_ATOM && format == 32 && data) {
        const auto* types = reinterpret_cast<const Atom*>(data);
        desktop = std::find(types, types + count, atoms.desktopType) != types + count;
    }
    if (data)
        XFree(data);
    return desktop;
}

// Whether a program draws the desktop in a window of its own (caja, xfdesktop, pcmanfm): a top-level
// window, or one a window manager framed, of the desktop type.
bool DesktopProgramShown(Display* display, Window root, const Atoms& atoms)
{
    const auto children = [&](Window parent) {
        Window rootReturn = None, parentReturn = None;
        Window* list = nullptr;
        unsigned int count = 0;
        std::vector<Window> result;
        if (XQueryTree(display, parent, &rootReturn, &parentReturn, &list, &count) && list)
            result.assign(list, list + count);
        if (list)
            XFree(list);
        return result;
    };
    for (const Window top : children(root)) {
        if (IsDesktopWindow(display, top, atoms))
            return true;
        for (const Window framed : children(top))
            if (IsDesktopWindow(display, framed, atoms))
                return true;
    }
    return false;
}

// Whether this program published `pixmap`: then a window it created beside the pixmap, on the same
// kept connection, still exists and names it. Once another setter freed the pixmap, that window went
// with it, so a later pixmap that happens to reuse the number is never taken for ours.
bool PublishedByUs(Display* display, Window root, const Atoms& atoms, Pixmap pixmap)
{
    const Window setter = ReadIdProperty(display, root, atoms.setter, XA_WINDOW);
    return setter != None && ReadIdProperty(display, setter, atoms.setterPixmap, XA_PIXMAP) == pixmap;
}

// The process that created `resource`, as the server recorded it when the connection was made (it
// stays known after a kept connection closed); nothing when the server cannot tell (no X-Resource
// extension, a client on another machine).
std::optional<int> CreatorProcess(Display* display, XID resource)
{
    int event = 0, error = 0;
    if (!XResQueryExtension(display, &event, &error))
        return std::nullopt;
    XResClientIdSpec spec{resource, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue* values = nullptr;
    std::optional<int> creator;
    if (XResQueryClientIds(display, 1, &spec, &count, &values) == Success)
        for (long i = 0; i < count; ++i)
            if (const int pid = XResGetClientPid(&values[i]); pid > 0)
                creator = pid;
    XResClientIdsDestroy(count, values);
    return creator;
}

// The convention of root-pixmap setters: when both properties name the same pixmap, its creator kept it
// alive only for the desktop (RetainPermanent), and freeing it (XKillClient) is the next setter's job.
// Desktop programs publish their background that way too and go on drawing with it: caja kept its
// pixmap on a connection of its own and died on the freed pixmap (BadDrawable), and a pixmap of a
// program's open connection would end that program's connection outright. So a pixmap is freed only
// when this program published it, or its creator no longer runs; where the server cannot name the
// creator, only when no program draws the desktop in a window of its own.
void FreePreviousPixmap(Display* display, Window root, const Atoms& atoms, Pixmap keep)
{
    const Pixmap previous = ReadIdProperty(display, root, atoms.rootPixmap, XA_PIXMAP);
    if (previous == None || previous == keep ||
        previous != ReadIdProperty(display, root, atoms.esetrootPixmap, XA_PIXMAP))
        return;
    bool inUse = false;
    if (!PublishedByUs(display, root, atoms, previous)) {
        const auto creator = CreatorProcess(display, previous);
        inUse = creator ? process::Runs(*creator) : DesktopProgramShown(display, root, atoms);
    }
    if (!inUse)
        XKillClient(display, previous);
}

// Makes `pixmap` the root's background and names it in both properties, or with None removes them and
// leaves the root black; the previous setter's pixmap is freed as above. A small window kept with the
// pixmap marks it as ours. Under a server grab, so no other setter reads the properties half-changed.
void Publish(Display* display, int screen, Pixmap pixmap)
{
    const Window root = RootWindow(display, screen);
    const Atoms atoms(display);
    XGrabServer(display);
    FreePreviousPixmap(display, root, atoms, pixmap);
    if (pixmap != None) {
        for (const Atom property : {atoms.rootPixmap, atoms.esetrootPixmap})
            XChangeProperty(display, root, property, XA_PIXMAP, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&pixmap), 1);
        XSetWindowAttributes unused{};
        const Window setter = XCreateWindow(display, root, -1, -1, 1, 1, 0, 0, InputOnly, CopyFromParent, 0, &unused);
        XChangeProperty(display, setter, atoms.setterPixmap, XA_PIXMAP, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&pixmap), 1);
        XChangeProperty(display, root, atoms.setter, XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&setter), 1);
        XSetWindowBackgroundPixmap(display, root, pixmap);
    } else {
        for (const Atom property : {atoms.rootPixmap, atoms.esetrootPixmap, atoms.setter})
            XDeleteProperty(display, root, property);
        XSetWindowBackground(display, root, BlackPixel(display, screen));
    }
    XClearWindow(display, root);
    XUngrabServer(display);
}

// One part of the screen a picture shows in (a monitor's part, or the tile), drawn a strip of rows at
// a time: each strip goes to the server as soon as it is full, so only a few rows stay here. A scaled
// picture's rows come from its scaler, already in colours.
struct ShownArea {
    int pictureLeft = 0; // drawable column of the picture's column 0
    int pictureTop = 0;  // drawable row of the picture's row 0
    int x0 = 0, x1 = 0;  // the drawable columns shown, [x0, x1)
    int y0 = 0, y1 = 0;  // the drawable rows shown, [y0, y1)
    std::unique_ptr<XImage, ImageDeleter> strip;
    int stripTop = 0;  // drawable row of the strip's first row
    int stripRows = 0; // rows drawn into the strip so far
    std::unique_ptr<ScaledPicture> scaled;
};

} // namespace

struct X11RootDrawing::State {
    static constexpr int StripRows = 32;

    State() = default;
    explicit State(Display* borrowed) : connection(borrowed) {}

    Connection connection;
    int screen = 0;
    Visual* visual = nullptr;
    int width = 0;
    int height = 0;
    int depth = 0;
    std::vector<ScreenArea> monitors;
    std::unique_ptr<PixelPacker> packer;

    Pixmap pixmap = None; // the root's picture, black where no picture shows
    Pixmap cell = None;   // tiled: the picture's shown part, repeated over `pixmap` at the end
    GC gc = nullptr;
    std::vector<ShownArea> areas;
    std::vector<Rgb> line;       // colours of a row's shown part, for visuals that are not plain 0xRRGGBB
    std::vector<Rgb> sourceLine; // a whole picture row in colours, for the scalers

    int pictureWidth = 0;
    int pictureHeight = 0;
    int bitsPerPixel = 0;
    std::array<Rgb, 256> palette{}; // entries past the colour table's end are black
    int rowsSeen = 0;
    bool failed = false;
    bool finished = false;
    std::string file;
    std::optional<FileIdentity> identity;

    ~State()
    {
        // Unpublished, the pixmaps go (a borrowed connection stays open), the graphics context first.
        if (gc)
            XFreeGC(connection.get(), gc);
        for (const Pixmap unused : {pixmap, cell})
            if (unused != None)
                XFreePixmap(connection.get(), unused);
    }

    Drawable Target() const { return cell != None ? cell : pixmap; }

    void Flush(ShownArea& area)
    {
        if (area.stripRows == 0)
            return;
        XPutImage(connection.get(), Target(), gc, area.strip.get(), 0, 0, area.x0, area.stripTop,
                  unsigned(area.x1 - area.x0), unsigned(area.stripRows));
        area.stripTop += area.stripRows;
        area.stripRows = 0;
    }

    // Puts the shown part of picture row `y` into the area's strip.
    void Draw(ShownArea& area, int y, const uint8_t* row)
    {
        const int drawableY = area.pictureTop + y;
        if (drawableY < area.y0 || drawableY >= area.y1)
            return;
        XImage* image = area.strip.get();
        const int x0 = area.x0 - area.pictureLeft, x1 = area.x1 - area.pictureLeft;
        const int stripY = area.stripRows++;
        if (packer->IsPlain32(image)) {
            ConvertRow(row, bitsPerPixel, palette, x0, x1,
                       reinterpret_cast<Rgb*>(image->data + size_t(stripY) * size_t(image->bytes_per_line)));
        } else {
            ConvertRow(row, bitsPerPixel, palette, x0, x1, line.data());
            for (int i = 0; i < x1 - x0; ++i)
                XPutPixel(image, i, stripY, packer->Pack(line[size_t(i)]));
        }
        if (area.stripRows == StripRows || drawableY + 1 == area.y1)
            Flush(area);
    }

    // Puts a row of the area's scaled picture, its shown columns in colours, into the strip.
    void DrawScaled(ShownArea& area, const Rgb* colours)
    {
        XImage* image = area.strip.get();
        const int stripY = area.stripRows++;
        const int width = area.x1 - area.x0;
        if (packer->IsPlain32(image)) {
            std::copy_n(colours, width,
                        reinterpret_cast<Rgb*>(image->data + size_t(stripY) * size_t(image->bytes_per_line)));
        } else {
            for (int i = 0; i < width; ++i)
                XPutPixel(image, i, stripY, packer->Pack(colours[i]));
        }
        if (area.stripRows == StripRows || area.stripTop + area.stripRows == area.y1)
            Flush(area);
    }

    // The picture scaled into `place` (ScaledPicture.h), shown where it overlaps `clip` and the screen.
    bool AddScaledArea(const PixelRect& place, const PixelRect& clip)
    {
        const int x0 = std::max({0, clip.x, place.x}),
                  x1 = std::min({width, clip.x + clip.width, place.x + place.width});
        const int y0 = std::max({0, clip.y, place.y}),
                  y1 = std::min({height, clip.y + clip.height, place.y + place.height});
        if (x0 >= x1 || y0 >= y1)
            return true; // shows nowhere
        if (!AddArea(place.x, place.y, x0, x1, y0, y1))
            return false;
        const size_t index = areas.size() - 1;
        areas.back().scaled = std::make_unique<ScaledPicture>(
            pictureWidth, pictureHeight, place.width, place.height, x0 - place.x, x1 - place.x, y0 - place.y,
            y1 - place.y, [this, index](int, const uint32_t* row) { DrawScaled(areas[index], row); });
        return true;
    }

    bool AddArea(int pictureLeft, int pictureTop, int x0, int x1, int y0, int y1)
    {
        if (x0 >= x1 || y0 >= y1)
            return true;
        ShownArea area{pictureLeft, pictureTop, x0, x1, y0, y1, nullptr, y0, 0, nullptr};
        area.strip.reset(XCreateImage(connection.get(), visual, unsigned(depth), ZPixmap, 0, nullptr, unsigned(x1 - x0),
                                      unsigned(StripRows), 32, 0));
        if (!area.strip)
            return false;
        area.strip->data = static_cast<char*>(std::malloc(size_t(area.strip->bytes_per_line) * StripRows));
        if (!area.strip->data)
            return false;
        areas.push_back(std::move(area));
        return true;
    }
};

X11RootDrawing::X11RootDrawing(WallpaperPlacement placement) : state_(std::make_unique<State>()), placement_(placement)
{
    State& s = *state_;
    if (!s.connection)
        return;
    Display* display = s.connection.get();
    s.screen = DefaultScreen(display);
    Visual* visual = DefaultVisual(display, s.screen);
    if (visual->c_class != TrueColor && visual->c_class != DirectColor)
        return;
    s.visual = visual;
    s.width = DisplayWidth(display, s.screen);
    s.height = DisplayHeight(display, s.screen);
    s.depth = DefaultDepth(display, s.screen);
    s.monitors = ReadMonitors(display, RootWindow(display, s.screen), s.width, s.height);
    s.packer = std::make_unique<PixelPacker>(visual);
}

// The same drawing for another window (a screen saver's): the pixmap takes the window's size and
// visual, the root's monitors apply when it is the root, and the whole window is one monitor otherwise.
X11RootDrawing::X11RootDrawing(WallpaperPlacement placement, Display* display, unsigned long window)
    : state_(std::make_unique<State>(display)),
      placement_(placement)
{
    State& s = *state_;
    XWindowAttributes attributes{};
    if (!display || !XGetWindowAttributes(display, window, &attributes) || !attributes.visual ||
        (attributes.visual->c_class != TrueColor && attributes.visual->c_class != DirectColor))
        return;
    s.screen = XScreenNumberOfScreen(attributes.screen);
    s.visual = attributes.visual;
    s.width = attributes.width;
    s.height = attributes.height;
    s.depth = attributes.depth;
    s.monitors = window == RootWindow(display, s.screen) ? ReadMonitors(display, window, s.width, s.height)
                                                         : std::vector<ScreenArea>{{0, 0, s.width, s.height}};
    s.packer = std::make_unique<PixelPacker>(s.visual);
}

X11RootDrawing::~X11RootDrawing() = default;

bool X11RootDrawing::Ready() const
{
    return state_->visual != nullptr;
}

void X11RootDrawing::Begin(int width, int height, int bitsPerPixel, std::span<const RgbQuad> palette)
{
    State& s = *state_;
    if (!Ready() || s.pixmap != None)
        return;
    Display* display = s.connection.get();
    const Window root = RootWindow(display, s.screen);
    s.pixmap = XCreatePixmap(display, root, unsigned(s.width), unsigned(s.height), unsigned(s.depth));
    s.gc = XCreateGC(display, s.pixmap, 0, nullptr);
    XSetForeground(display, s.gc, BlackPixel(display, s.screen));
    XFillRectangle(display, s.pixmap, s.gc, 0, 0, unsigned(s.width), unsigned(s.height));

    const int w = std::max(0, width);
    const int h = std::max(0, height);
    s.pictureWidth = w;
    s.pictureHeight = h;
    s.bitsPerPixel = bitsPerPixel;
    s.palette.fill(0);
    for (size_t i = 0; i < std::min<size_t>(256, palette.size()); ++i)
        s.palette[i] = MakeRgb(palette[i].red, palette[i].green, palette[i].blue);
    s.rowsSeen = 0;
    s.finished = false;
    s.line.assign(size_t(s.width), Rgb(0));
    bool ok = true;
    if (w > MaxScaledWidth && IsScaled(placement_)) {
        ok = false;
    } else if (w > 0 && h > 0 && IsScaled(placement_)) {
        s.sourceLine.assign(size_t(w), Rgb(0));
        if (placement_ == WallpaperPlacement::Span) {
            // One picture over the monitors' bounding box.
            int left = s.width, top = s.height, right = 0, bottom = 0;
            for (const ScreenArea& m : s.monitors) {
                left = std::min(left, m.x);
                top = std::min(top, m.y);
                right = std::max(right, m.x + m.width);
                bottom = std::max(bottom, m.y + m.height);
            }
            const PixelRect box{left, top, right - left, bottom - top};
            ok = s.AddScaledArea(PlaceScaledPicture(placement_, w, h, box), box);
        } else {
            for (const ScreenArea& m : s.monitors) {
                const PixelRect monitor{m.x, m.y, m.width, m.height};
                ok = ok && s.AddScaledArea(PlaceScaledPicture(placement_, w, h, monitor), monitor);
            }
        }
    } else if (w > 0 && h > 0 && placement_ == WallpaperPlacement::Tiled) {
        // The part of the picture the screen shows from its top-left corner; the server repeats it.
        const int cw = std::min(w, s.width), ch = std::min(h, s.height);
        s.cell = XCreatePixmap(display, root, unsigned(cw), unsigned(ch), unsigned(s.depth));
        ok = s.AddArea(0, 0, 0, cw, 0, ch);
    } else if (w > 0 && h > 0) {
        for (const ScreenArea& m : s.monitors) {
            const int left = m.x + (m.width - w) / 2;
            const int top = m.y + (m.height - h) / 2;
            ok = ok && s.AddArea(left, top, std::max({0, m.x, left}), std::min({s.width, m.x + m.width, left + w}),
                                 std::max({0, m.y, top}), std::min({s.height, m.y + m.height, top + h}));
        }
    }
    if (!ok) {
        s.areas.clear(); // no memory for a strip: nothing is drawn, and Publish refuses
        s.failed = true;
    }
}

void X11RootDrawing::Row(int y, const uint8_t* row)
{
    State& s = *state_;
    ++s.rowsSeen;
    if (y < 0 || y >= s.pictureHeight)
        return;
    if (!s.sourceLine.empty()) {
        // Scaled: every row goes to every scaler, in colours.
        ConvertRow(row, s.bitsPerPixel, s.palette, 0, s.pictureWidth, s.sourceLine.data());
        for (ShownArea& area : s.areas)
            area.scaled->Row(s.sourceLine.data());
        return;
    }
    for (ShownArea& area : s.areas)
        s.Draw(area, y, row);
}

void X11RootDrawing::Finished(const std::string& file)
{
    State& s = *state_;
    s.identity = IdentityOf(file);
    s.finished = s.pixmap != None && !s.failed && s.rowsSeen == s.pictureHeight && s.identity;
    s.file = file;
}

bool X11RootDrawing::Shows(const std::string& file) const
{
    const State& s = *state_;
    return s.finished && file == s.file && IdentityOf(file) == s.identity;
}

unsigned long X11RootDrawing::TakePixmap()
{
    State& s = *state_;
    if (!Ready() || s.failed)
        return None;
    if (s.pixmap == None)
        Begin(0, 0, 24, {}); // nothing was drawn: black
    Display* display = s.connection.get();
    for (ShownArea& area : s.areas)
        s.Flush(area); // rows that never came stay as the strip holds them
    s.areas.clear();
    if (s.cell != None) {
        XSetTile(display, s.gc, s.cell);
        XSetTSOrigin(display, s.gc, 0, 0);
        XSetFillStyle(display, s.gc, FillTiled);
        XFillRectangle(display, s.pixmap, s.gc, 0, 0, unsigned(s.width), unsigned(s.height));
        XFreePixmap(display, s.cell);
        s.cell = None;
    }
    const Pixmap pixmap = std::exchange(s.pixmap, None);
    s.finished = false;
    if (!s.connection.Succeeded()) {
        XFreePixmap(display, pixmap);
        return None;
    }
    return pixmap;
}

bool X11RootDrawing::Publish()
{
    const Pixmap pixmap = TakePixmap();
    if (pixmap == None)
        return false;
    Display* display = state_->connection.get();
    ::vorlane::Publish(display, state_->screen, pixmap);
    // The pixmap must outlive this connection: the root and every reader of the properties use it.
    XSetCloseDownMode(display, RetainPermanent);
    state_->connection.Succeeded(); // a stale previous pixmap makes XKillClient fail harmlessly
    return true;
}

int X11DisplayDepth()
{
    Connection connection;
    return connection ? DefaultDepth(connection.get(), DefaultScreen(connection.get())) : 0;
}

bool SetX11RootWallpaper(const BitmapRows& picture, WallpaperPlacement placement)
{
    X11RootDrawing drawing(placement);
    if (!drawing.Ready())
        return false;
    picture.SendTo(drawing);
    return drawing.Publish();
}

bool ClearX11RootWallpaper()
{
    Connection connection;
    if (!connection)
        return false;
    Display* display = connection.get();
    Publish(display, DefaultScreen(display), None);
    connection.Succeeded();
    return true;
}

} // namespace vorlane
