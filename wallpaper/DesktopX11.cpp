#include "wallpaper/DesktopX11.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

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
    Connection() : display_(XOpenDisplay(nullptr))
    {
        if (display_) {
            previous_ = XSetErrorHandler(CountError);
            g_errorCount = 0;
        }
    }
    ~Connection()
    {
        if (display_) {
            XCloseDisplay(display_); // syncs first, so late errors are still counted
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
    Display* display_;
    XErrorHandler previous_ = nullptr;
};

struct ImageDeleter {
    void operator()(XImage* image) const { XDestroyImage(image); } // frees the pixel data too
};

// How a 0xRRGGBB colour becomes a pixel value of the visual.
class PixelPacker {
public:
    explicit PixelPacker(const Visual* visual)
        : red_(visual->red_mask), green_(visual->green_mask), blue_(visual->blue_mask)
    {
    }
    bool IsPlain32(const XImage* image) const
    {
        return image->bits_per_pixel == 32 && red_.mask == 0xFF0000 && green_.mask == 0xFF00 &&
               blue_.mask == 0xFF && image->byte_order == (std::endian::native == std::endian::little ? LSBFirst : MSBFirst);
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

// Columns [x0, x1) of the picture's row y as 0xRRGGBB, through `palette` at 8 bits per pixel or fewer.
void ConvertRow(const BmpRowsView& picture, const std::array<Rgb, 256>& palette, int y, int x0, int x1, Rgb* out)
{
    const uint8_t* row = picture.Row(y);
    switch (picture.bitsPerPixel) {
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

// Fills the root-sized image: the picture centred on black, or repeated from the top-left corner. On the
// common 32-bit visual the rows are converted straight into the image and a tiled row below the first
// band is a copy of the row one picture higher; other visuals go through a row of colours.
void Compose(const BmpRowsView& picture, bool tile, XImage* image, const PixelPacker& packer)
{
    const int width = image->width;
    const int height = image->height;
    const int w = picture.width;
    const int h = picture.height;
    std::array<Rgb, 256> palette{}; // entries past the colour table's end are black
    for (size_t i = 0; i < std::min<size_t>(256, picture.palette.size()); ++i) {
        const RgbQuad& q = picture.palette[i];
        palette[i] = MakeRgb(q.red, q.green, q.blue);
    }

    const bool plain = packer.IsPlain32(image);
    std::vector<Rgb> line(plain ? 0 : size_t(width));
    const auto imageRow = [&](int y) {
        return reinterpret_cast<Rgb*>(image->data + size_t(y) * size_t(image->bytes_per_line));
    };
    const bool empty = w <= 0 || h <= 0;
    const int left = (width - w) / 2;
    const int top = (height - h) / 2;
    const int x0 = std::max(0, left);
    const int x1 = std::min(width, left + w);
    for (int y = 0; y < height; ++y) {
        Rgb* out = plain ? imageRow(y) : line.data();
        if (empty) {
            std::fill(out, out + width, Rgb(0));
        } else if (tile) {
            if (plain && y >= h) {
                std::copy_n(imageRow(y - h), width, out);
                continue;
            }
            // Only the columns the screen shows of a picture wider than the screen are converted.
            ConvertRow(picture, palette, y % h, 0, std::min(w, width), out);
            for (int x = w; x < width; x += w)
                std::copy_n(out, std::min(w, width - x), out + x);
        } else if (y - top >= 0 && y - top < h && x0 < x1) {
            std::fill(out, out + x0, Rgb(0));
            ConvertRow(picture, palette, y - top, x0 - left, x1 - left, out + x0);
            std::fill(out + x1, out + width, Rgb(0));
        } else {
            std::fill(out, out + width, Rgb(0));
        }
        if (!plain) {
            for (int x = 0; x < width; ++x)
                XPutPixel(image, x, y, packer.Pack(line[size_t(x)]));
        }
    }
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

// The convention of root-pixmap setters: when both properties name the same pixmap, its creator kept it
// alive only for the desktop (RetainPermanent), and freeing it is the next setter's job. A desktop
// program such as caja publishes its own background that way too and goes on drawing its desktop
// window with it, and dies on the freed pixmap (BadDrawable); so while a program draws the desktop,
// only a pixmap this program published is freed.
void FreePreviousPixmap(Display* display, Window root, const Atoms& atoms, Pixmap keep)
{
    const Pixmap previous = ReadIdProperty(display, root, atoms.rootPixmap, XA_PIXMAP);
    if (previous == None || previous == keep || previous != ReadIdProperty(display, root, atoms.esetrootPixmap, XA_PIXMAP))
        return;
    if (PublishedByUs(display, root, atoms, previous) || !DesktopProgramShown(display, root, atoms))
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

} // namespace

bool SetX11RootWallpaper(const BmpRowsView& picture, bool tile)
{
    Connection connection;
    if (!connection)
        return false;
    Display* display = connection.get();
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    Visual* visual = DefaultVisual(display, screen);
    if (visual->c_class != TrueColor && visual->c_class != DirectColor)
        return false;
    const int width = DisplayWidth(display, screen);
    const int height = DisplayHeight(display, screen);
    const int depth = DefaultDepth(display, screen);

    std::unique_ptr<XImage, ImageDeleter> image(
        XCreateImage(display, visual, unsigned(depth), ZPixmap, 0, nullptr, unsigned(width), unsigned(height), 32, 0));
    if (!image)
        return false;
    image->data = static_cast<char*>(std::malloc(size_t(image->bytes_per_line) * size_t(height)));
    if (!image->data)
        return false;
    Compose(picture, tile, image.get(), PixelPacker(visual));

    const Pixmap pixmap = XCreatePixmap(display, root, unsigned(width), unsigned(height), unsigned(depth));
    GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XPutImage(display, pixmap, gc, image.get(), 0, 0, 0, 0, unsigned(width), unsigned(height));
    XFreeGC(display, gc);
    image.reset();
    if (!connection.Succeeded()) {
        XFreePixmap(display, pixmap);
        return false;
    }

    Publish(display, screen, pixmap);
    // The pixmap must outlive this connection: the root and every reader of the properties use it.
    XSetCloseDownMode(display, RetainPermanent);
    connection.Succeeded(); // a stale previous pixmap makes XKillClient fail harmlessly
    return true;
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
