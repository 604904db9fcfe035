// The desktop backends the chooser makes; each is described where it is defined.
#pragma once

#include <memory>
#include <string>

#include "wallpaper/DesktopBackend.h"

namespace vorlane {

std::unique_ptr<DesktopBackend> NewX11RootBackend();
std::unique_ptr<DesktopBackend> NewGnomeBackend();
std::unique_ptr<DesktopBackend> NewCinnamonBackend();
std::unique_ptr<DesktopBackend> NewMateBackend();
std::unique_ptr<DesktopBackend> NewXfceBackend();
// `running`: the program draws the desktop now and takes the picture; otherwise its settings files get
// it, those of every profile the user has and of `profile`, the one the session starts it with.
std::unique_ptr<DesktopBackend> NewPcmanfmBackend(bool running, const std::string& profile);   // LXDE
std::unique_ptr<DesktopBackend> NewPcmanfmQtBackend(bool running, const std::string& profile); // LXQt
// `running`: plasmashell is on the session bus and takes a script; otherwise the desktops of its
// layout file get the picture.
std::unique_ptr<DesktopBackend> NewPlasmaBackend(bool running);
// Whether plasmashell has a layout with desktops: before its first start (a first login) it has none,
// and its first start makes its default layout whatever the file held.
bool PlasmaLayoutHasDesktops();
// Waits, at most `seconds`, until plasmashell made its desktops and wrote them to its layout file.
bool AwaitPlasmaDesktops(int seconds);
std::unique_ptr<DesktopBackend> NewSwayBackend();

// The background mode of sway and swaybg for a placement; one picture over all outputs is not among
// them, so span fills each output.
const char* SwayMode(WallpaperPlacement placement);
std::unique_ptr<DesktopBackend> NewSwaybgBackend(); // wlroots compositors through wlr-layer-shell

// Whether the Wayland compositor WAYLAND_DISPLAY names offers wlr-layer-shell (zwlr_layer_shell_v1),
// which background clients such as swaybg draw on: the wlroots compositors do, weston and GNOME not.
bool WaylandOffersLayerShell();

// The file's absolute file:// URI; empty when none can be made.
std::string FileUri(const std::string& path);

// The same file under another spelling ("./" before its name). A desktop that keeps the picture it
// loaded under the file's name is given this when the name it has is the one to set, so that it loads
// the rewritten file ("Temp.bmp") anew.
inline std::string PathSpelledAnew(const std::string& path)
{
    const size_t name = path.rfind('/') + 1; // 0 without a folder
    return path.substr(0, name) + "./" + path.substr(name);
}

} // namespace vorlane
