// restore --watch: the X root window's picture is drawn for one screen layout; when a monitor is
// plugged in, removed or resized, a watcher left behind draws it again for the new one, as recorded. So
// are the tiling pictures GNOME and Plasma are shown (wallpaper/TilingPicture.h).
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <string>

#include "platform/Exceptions.h"
#include "tools/vorlane-wallpaper/Commands.h"
#include "tools/vorlane-wallpaper/Session.h"
#include "wallpaper/BitmapRows.h"
#include "wallpaper/CWallPaper.h"
#include "wallpaper/DesktopBackend.h"
#include "wallpaper/DesktopX11.h"
#include "wallpaper/X11ScreenWatch.h"

namespace vorlane::wallpapertool {
namespace {

// The record is read again each time: a wallpaper set since the login is the one drawn.
void RedrawRecorded()
{
    try {
        const TWallPaper wallpaper(nullptr);
        if (wallpaper.NoWallPaper())
            return;
        const BitmapRows picture(wallpaper.WallPaperFile());
        SetX11RootWallpaper(picture, wallpaper.Placement());
        if (wallpaper.Placement() != WallpaperPlacement::Tiled)
            return;
        auto chosen = ChooseDesktopBackends(ObserveSession());
        std::erase_if(chosen, [](const ChosenBackend& c) {
            return c.backend->Name() != "gnome" && c.backend->Name() != "plasma";
        });
        ApplyToDesktops(chosen, {wallpaper.WallPaperFile(), WallpaperPlacement::Tiled, &picture});
    } catch (const Exception& error) {
        Report("the recorded wallpaper cannot be shown: " + std::string(error.what()));
    }
}

} // namespace

void StartScreenWatcher()
{
    // Under a Wayland compositor the X root is not what the screen shows, and a client kept on Xwayland
    // would keep a compositor's on-demand Xwayland running.
    if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland && *wayland)
        return;
    int settled[2];
    if (::pipe2(settled, O_CLOEXEC) != 0)
        return;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(settled[0]);
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (null >= 0) {
            ::dup2(null, STDIN_FILENO);
            ::dup2(null, STDOUT_FILENO); // whoever reads our output waits for no watcher
        }
        X11ScreenWatch watch;
        ::close(settled[1]); // the watch holds the display's selection, or knows another does
        while (watch.WaitForChange())
            RedrawRecorded();
        ::_exit(0);
    }
    ::close(settled[1]);
    char none = 0;
    while (child > 0 && ::read(settled[0], &none, 1) < 0 && errno == EINTR) {}
    ::close(settled[0]);
}

} // namespace vorlane::wallpapertool
