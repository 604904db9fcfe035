// vorlane-wallpaper's session on Linux: Qt's event loop, the X display, and the desktop backends.
#include "tools/vorlane-wallpaper/Session.h"

#include <QCoreApplication>

#include <algorithm>

#include "wallpaper/Backends.h"
#include "wallpaper/DesktopBackend.h"
#include "wallpaper/DesktopX11.h"

namespace vorlane::wallpapertool {
namespace {

// The desktops whose picture lives only as long as the session: the root pixmap goes with the X server,
// sway's background with sway, our swaybg with its compositor, and pcmanfm-qt records the mode it started
// with rather than the one it was given ("none" when it started without a picture), so it starts the next
// login without it. Every other desktop keeps its own setting across logins.
bool ForgetsWithTheSession(const std::string& backend)
{
    return backend == "x11-root" || backend == "sway" || backend == "swaybg" || backend == "pcmanfm-qt";
}

// How long a login's restore waits for plasmashell's first start to make its desktops.
constexpr int PlasmaFirstStartSeconds = 120;

} // namespace

std::shared_ptr<void> StartEventLoop(int& argc, char** argv)
{
    return std::make_shared<QCoreApplication>(argc, argv);
}

int DisplayDepth()
{
    return X11DisplayDepth();
}

bool ReapplyWhereForgotten(const std::string& path, WallpaperPlacement placement, const BitmapRows& picture,
                           bool& forgetful)
{
    auto chosen = ChooseDesktopBackends(ObserveSession());
    // Plasma keeps the picture in its layout, but its first start (a first login) makes a default one
    // over it: the picture goes to the shell once it made its desktops.
    const bool plasmaFirstStart = !PlasmaLayoutHasDesktops();
    std::erase_if(chosen, [&](const ChosenBackend& c) {
        return !ForgetsWithTheSession(c.backend->Name()) && !(c.backend->Name() == "plasma" && plasmaFirstStart);
    });
    for (ChosenBackend& c : chosen)
        if (c.backend->Name() == "plasma" && AwaitPlasmaDesktops(PlasmaFirstStartSeconds))
            c.backend = NewPlasmaBackend(true);
    forgetful = !chosen.empty();
    WallpaperRequest request;
    request.path = path;
    request.placement = placement;
    request.rows = &picture;
    const auto outcomes = ApplyToDesktops(chosen, request);
    return std::any_of(outcomes.begin(), outcomes.end(), [](const BackendOutcome& o) { return o.applied; });
}

void ListDesktops(std::FILE* out)
{
    const auto chosen = ChooseDesktopBackends(ObserveSession());
    std::fprintf(out, "desktops:%s\n", chosen.empty() ? " none" : "");
    for (const auto& [backend, reason] : chosen)
        std::fprintf(out, "  %s: %s%s\n", backend->Name().c_str(), reason.c_str(),
                     ForgetsWithTheSession(backend->Name()) ? "; restored at login" : "");
}

} // namespace vorlane::wallpapertool
