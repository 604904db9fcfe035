#include "app/qt/FrameExtents.h"

#include <vector>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>

// After Qt's headers: Xlib's macros (Bool, Status) would break them.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <xcb/xproto.h>

namespace vorlane {
namespace {

class X11FrameExtentsWatch final : public FrameExtentsWatch, private QAbstractNativeEventFilter {
public:
    X11FrameExtentsWatch(Display* display, Window window, std::function<void()> changed)
        : display_(display),
          window_(window),
          extents_(XInternAtom(display, "_NET_FRAME_EXTENTS", False)),
          managerCheck_(XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False)),
          changed_(std::move(changed))
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~X11FrameExtentsWatch() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    std::optional<QMargins> Extents() const override
    {
        // _NET_FRAME_EXTENTS: left, right, top, bottom.
        if (const std::optional<std::vector<long>> sides = Cardinals(window_, extents_); sides && sides->size() == 4)
            return QMargins(int((*sides)[0]), int((*sides)[2]), int((*sides)[1]), int((*sides)[3]));
        if (!Cardinals(DefaultRootWindow(display_), managerCheck_))
            return QMargins(); // no window manager: no frame
        return std::nullopt;
    }

    std::optional<QRect> FrameOnScreen() const override
    {
        const std::optional<QMargins> frame = Extents();
        XWindowAttributes attributes{};
        int x = 0, y = 0;
        Window child = 0;
        if (!frame || !XGetWindowAttributes(display_, window_, &attributes) ||
            !XTranslateCoordinates(display_, window_, attributes.root, 0, 0, &x, &y, &child))
            return std::nullopt;
        return QRect(x, y, attributes.width, attributes.height).marginsAdded(*frame);
    }

private:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        switch (event->response_type & ~0x80) {
        case XCB_PROPERTY_NOTIFY:
            if (static_cast<const xcb_property_notify_event_t*>(message)->window == window_ &&
                static_cast<const xcb_property_notify_event_t*>(message)->atom == extents_)
                changed_();
            break;
        case XCB_REPARENT_NOTIFY:
            if (static_cast<const xcb_reparent_notify_event_t*>(message)->window == window_)
                changed_();
            break;
        case XCB_CONFIGURE_NOTIFY:
            if (static_cast<const xcb_configure_notify_event_t*>(message)->window == window_)
                changed_();
            break;
        default:
            break;
        }
        return false; // Qt reads the notice too (that is where it learns the frame)
    }

    // A property of 32-bit values; nothing when the window has none.
    std::optional<std::vector<long>> Cardinals(Window window, Atom property) const
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::optional<std::vector<long>> values;
        if (XGetWindowProperty(display_, window, property, 0, 16, False, AnyPropertyType, &type, &format, &count,
                               &after, &data) == Success &&
            data && format == 32) {
            const auto* longs = reinterpret_cast<const long*>(data); // format 32 arrives as longs
            values.emplace(longs, longs + count);
        }
        if (data)
            XFree(data);
        return values;
    }

    Display* const display_;
    const Window window_;
    const Atom extents_;
    const Atom managerCheck_;
    const std::function<void()> changed_;
};

} // namespace

std::unique_ptr<FrameExtentsWatch> FrameExtentsWatch::Make(QWidget& window, std::function<void()> changed)
{
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display())
        return nullptr;
    return std::make_unique<X11FrameExtentsWatch>(x11->display(), Window(window.winId()), std::move(changed));
}

} // namespace vorlane
