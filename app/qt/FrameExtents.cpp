#include "app/qt/FrameExtents.h"

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
    X11FrameExtentsWatch(Display* display, uint32_t window, uint32_t extents, std::function<void(bool)> framed)
        : display_(display), window_(window), extents_(extents), framed_(std::move(framed))
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~X11FrameExtentsWatch() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    // _NET_FRAME_EXTENTS: left, right, top, bottom.
    std::optional<QMargins> Extents() const override
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::optional<QMargins> extents;
        if (XGetWindowProperty(display_, window_, extents_, 0, 4, False, XA_CARDINAL, &type, &format, &count, &after,
                               &data) == Success &&
            data && type == XA_CARDINAL && format == 32 && count == 4) {
            const auto* sides = reinterpret_cast<const unsigned long*>(data); // format 32 arrives as longs
            extents = QMargins(int(sides[0]), int(sides[2]), int(sides[1]), int(sides[3]));
        }
        if (data)
            XFree(data);
        return extents;
    }

private:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        switch (event->response_type & ~0x80) {
        case XCB_PROPERTY_NOTIFY: {
            const auto* changed = static_cast<const xcb_property_notify_event_t*>(message);
            if (changed->window == window_ && changed->atom == extents_)
                framed_(true);
            break;
        }
        case XCB_REPARENT_NOTIFY:
            if (static_cast<const xcb_reparent_notify_event_t*>(message)->window == window_)
                framed_(false);
            break;
        default:
            break;
        }
        return false; // Qt reads the notice too (that is where it learns the frame)
    }

    Display* const display_;
    const uint32_t window_;
    const uint32_t extents_;
    const std::function<void(bool)> framed_;
};

} // namespace

std::unique_ptr<FrameExtentsWatch> FrameExtentsWatch::Make(QWidget& window, std::function<void(bool)> framed)
{
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display())
        return nullptr;
    const Atom extents = XInternAtom(x11->display(), "_NET_FRAME_EXTENTS", False);
    return std::make_unique<X11FrameExtentsWatch>(x11->display(), uint32_t(window.winId()), uint32_t(extents), std::move(framed));
}

} // namespace vorlane
