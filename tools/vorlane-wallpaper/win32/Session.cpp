// vorlane-wallpaper's session on Windows: the system's own message loop needs nothing made first, the
// screen's depth comes from its device context, and the desktop keeps its wallpaper across logins.
#include "tools/vorlane-wallpaper/Session.h"

#include <windows.h>

namespace vorlane::wallpapertool {

std::shared_ptr<void> StartEventLoop(int&, char**)
{
    return nullptr;
}

int DisplayDepth()
{
    const HDC screen = GetDC(nullptr);
    if (!screen)
        return 0;
    const int depth = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    return depth;
}

bool ReapplyWhereForgotten(const std::string&, WallpaperPlacement, const BitmapRows&, bool& forgetful)
{
    forgetful = false;
    return false;
}

void StartScreenWatcher()
{
}

void ListDesktops(std::FILE* out)
{
    std::fprintf(out, "desktops:\n  windows: the system's own wallpaper call\n");
}

} // namespace vorlane::wallpapertool
