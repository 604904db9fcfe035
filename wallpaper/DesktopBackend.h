// The desktops of a Linux session that can show the wallpaper, each behind one small interface, and the
// choice of those that apply to the running session. Several may apply at once (an X root pixmap read
// by a compositor and a desktop program drawing its own background); every one that applies is used.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "wallpaper/Placement.h"

namespace vorlane {

class BitmapRows;
class X11RootDrawing;

// What the desktop is asked to show: a bitmap file and where it goes (wallpaper/Placement.h). An empty
// path removes the wallpaper.
struct WallpaperRequest {
    std::string path;
    WallpaperPlacement placement = WallpaperPlacement::Centred;
    // The picture's file when the caller already opened it; a backend that draws the picture itself
    // (the X root pixmap) then reads its rows from there.
    const BitmapRows* rows = nullptr;
    // The root's picture drawn while the file was written; the X root pixmap shows it when it still
    // matches the file and the placement.
    X11RootDrawing* drawing = nullptr;
};

class DesktopBackend {
public:
    virtual ~DesktopBackend() = default;
    // A short name for listings and messages: "x11-root", "gnome", "xfce", "sway", ...
    virtual std::string Name() const = 0;
    // Shows the request; false when it could not be applied. Never throws, and waits for no program
    // longer than a few seconds.
    virtual bool Apply(const WallpaperRequest& request) = 0;
};

// What is running in this session, as far as choosing backends goes.
struct SessionFacts {
    std::string currentDesktop;             // XDG_CURRENT_DESKTOP (":"-separated names), or DESKTOP_SESSION
    bool x11Display = false;                // DISPLAY names an X display
    bool swaySocket = false;                // SWAYSOCK names sway's IPC socket
    bool layerShell = false;                // the Wayland compositor offers wlr-layer-shell
    bool sessionBus = false;                // a session bus is announced and accepts a connection
    std::set<std::string> busNames;         // names owned on the session bus (none without a reachable bus)
    std::set<std::string> processes;        // command names of this user's processes on this display
    std::set<std::string> gsettingsSchemas; // the background schemas that are installed
};

// Looks at the environment, the session bus and this user's processes.
SessionFacts ObserveSession();

// A backend that applies, and why ("XDG_CURRENT_DESKTOP names XFCE", "xfdesktop is running").
struct ChosenBackend {
    std::unique_ptr<DesktopBackend> backend;
    std::string reason;
};

// The backends that apply, in the order they are applied: the X root pixmap first, so a desktop
// program that draws its own background and publishes it on the root has the last word.
std::vector<ChosenBackend> ChooseDesktopBackends(const SessionFacts& facts);

struct BackendOutcome {
    std::string name;
    std::string reason;
    bool applied = false;
};

// Applies the request through every chosen backend; one that fails stops none of the others. The
// outcomes come in the order of the choice.
std::vector<BackendOutcome> ApplyToDesktops(std::vector<ChosenBackend>& chosen, const WallpaperRequest& request);

// Chooses for the running session and applies.
std::vector<BackendOutcome> ApplyToSessionDesktops(const WallpaperRequest& request);

} // namespace vorlane
