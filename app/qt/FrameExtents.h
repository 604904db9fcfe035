// The window manager's notices that it framed a window: the window put into a frame, and the frame's
// size told (_NET_FRAME_EXTENTS). Both come after the window asked to be shown, so a window that places
// itself by its frame can do so only then.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QMargins>

class QWidget;

namespace vorlane {

class FrameExtentsWatch {
public:
    // Calls `framed(extentsKnown)` on the window thread, as each notice about `window` arrives:
    // `extentsKnown` once the frame's size was told. Null when the window is not on an X display.
    static std::unique_ptr<FrameExtentsWatch> Make(QWidget& window, std::function<void(bool extentsKnown)> framed);
    virtual ~FrameExtentsWatch() = default;
    // The frame's size as the window manager last told it; nothing before it told it, or without one.
    virtual std::optional<QMargins> Extents() const = 0;
};

} // namespace vorlane
