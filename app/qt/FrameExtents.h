// The window manager's frame around a window on X: its size as the manager tells it
// (_NET_FRAME_EXTENTS), where the frame is on the screen, and notices as the window is framed, moved or
// sized. The frame comes after the window asked to be shown, so a window that places itself by its
// frame can do so only then.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QMargins>
#include <QRect>

class QWidget;

namespace vorlane {

class FrameExtentsWatch {
public:
    // Calls `changed` on the window thread as each notice about `window` arrives (put into a frame, the
    // frame's size told, moved or sized). Null when the window is not on an X display.
    static std::unique_ptr<FrameExtentsWatch> Make(QWidget& window, std::function<void()> changed);
    virtual ~FrameExtentsWatch() = default;
    // The frame's size: as the window manager told it; none (zero) without a window manager; nothing
    // while a window manager has not told it yet.
    virtual std::optional<QMargins> Extents() const = 0;
    // The whole window on the screen, frame included; nothing while the frame's size is not known.
    virtual std::optional<QRect> FrameOnScreen() const = 0;
};

} // namespace vorlane
