// Where vorlane-saver draws: the window XScreenSaver (or MATE's screen saver, or xsecurelock) hands it
// in $XSCREENSAVER_WINDOW, the virtual root for --root, the window --window-id names, or a window of its
// own. Each picture is drawn into a pixmap of the window's size while the previous one shows, then made
// the window's background: the server repaints it whenever the window is uncovered, and no more than
// two pictures exist at once (the one shown and the next), both on the server, not in this process.
// This process holds a few rows of the picture it draws, except where its decoder holds the whole
// picture (a progressive or turned JPEG, WebP, AVIF).
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "saver/Slideshow.h"
#include "wallpaper/Placement.h"

namespace vorlane::saver {

class SaverScreen {
public:
    using Clock = std::chrono::steady_clock;

    // Opens the display and takes the window; Failure() says why when it cannot.
    explicit SaverScreen(const Options& options);
    ~SaverScreen();
    SaverScreen(const SaverScreen&) = delete;
    SaverScreen& operator=(const SaverScreen&) = delete;

    const std::string& Failure() const { return failure_; }

    // The picture drawn at `placement` into a new pixmap of the window's size, not yet shown; 0 when
    // the server refused. Raises the picture's errors (EFOpenError, EInvalidGraphic, EJPEG, ...).
    unsigned long Draw(const std::string& picture, WallpaperPlacement placement);
    // Shows a pixmap from Draw (and frees it: the window keeps it as long as it shows it).
    void Show(unsigned long pixmap);
    // Shows black with `line` in the middle, in white.
    void ShowText(const std::string& line);
    // Waits until `deadline`; false (at once) when the window went away or its own window was closed.
    bool WaitUntil(Clock::time_point deadline);

private:
    struct State;
    std::unique_ptr<State> state_;
    std::string failure_;
};

} // namespace vorlane::saver
