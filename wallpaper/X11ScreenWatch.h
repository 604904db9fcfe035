// Watches the X display's screen for changes of its size or its RandR monitors (a monitor plugged in,
// removed, resized or rearranged), so the root window's picture, drawn for the old layout, can be drawn
// again. One watcher per display: it holds a manager selection for the screen while it lives, as
// compositors do, through an unmapped input-only window nobody sees.
#pragma once

#include <memory>

namespace vorlane {

class X11ScreenWatch {
public:
    // Connects to the display DISPLAY names and takes the selection. Ready() is false without a
    // display, or when another watcher already holds it.
    X11ScreenWatch();
    ~X11ScreenWatch();
    X11ScreenWatch(const X11ScreenWatch&) = delete;
    X11ScreenWatch& operator=(const X11ScreenWatch&) = delete;

    bool Ready() const;

    // Blocks until the screen's layout differs from the one last seen (several events of one change
    // count once). False when the watch ends: the display went away, or another watcher took over.
    bool WaitForChange();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace vorlane
