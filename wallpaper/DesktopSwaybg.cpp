// wlroots compositors other than sway (and sway reached without its socket): their background is a
// client on the wlr-layer-shell protocol, swaybg. Vorlane starts one per Wayland session with the
// picture, leaves it running (the picture lasts as long as it does) and replaces it with a new one for
// each later picture. Ours carry VORLANE_SWAYBG, naming the session's Wayland socket, in their
// environment, so only they are replaced, never a background program of the compositor's own.
#include <wayland-client.h>

#include <cstdlib>
#include <cstring>

#include "platform/Process.h"
#include "wallpaper/Backends.h"

namespace vorlane {
namespace {

const char* const Marker = "VORLANE_SWAYBG";

// The session's Wayland socket as a path: WAYLAND_DISPLAY, under XDG_RUNTIME_DIR when relative.
std::string WaylandSocket()
{
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!display || !*display)
        return {};
    if (display[0] == '/')
        return display;
    return runtime ? std::string(runtime) + "/" + display : std::string();
}

// Ends the swaybg processes of this user that we started for this Wayland session, but `keep`.
void StopOurSwaybg(const std::string& entry, int keep)
{
    for (const process::OwnProcess& own : process::OwnProcesses())
        if (own.id != keep && own.name == "swaybg")
            process::EndOwn(own, [&] { return process::StartedWith(own.id, entry); });
}

class SwaybgBackend final : public DesktopBackend {
public:
    std::string Name() const override { return "swaybg"; }
    bool Apply(const WallpaperRequest& request) override
    {
        const std::string socket = WaylandSocket();
        if (socket.empty())
            return false;
        const std::string entry = std::string(Marker) + "=" + socket;
        // swaybg takes the path as one argument and reads it as it is. The previous one goes once the new
        // one runs: the newer background surface lies above, so the screen never shows neither.
        const int started =
            request.path.empty()
                ? process::StartDetached({"swaybg", "-c", "#000000", "-m", "solid_color"}, Marker, entry)
                : process::StartDetached(
                      {"swaybg", "-i", request.path, "-m", SwayMode(request.placement), "-c", "#000000"}, Marker,
                      entry);
        if (started > 0)
            StopOurSwaybg(entry, started);
        return started > 0;
    }
};

void NoteGlobal(void* found, wl_registry*, uint32_t, const char* interface, uint32_t)
{
    if (std::strcmp(interface, "zwlr_layer_shell_v1") == 0)
        *static_cast<bool*>(found) = true;
}

void IgnoreRemoval(void*, wl_registry*, uint32_t)
{
}

} // namespace

bool WaylandOffersLayerShell()
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return false;
    bool found = false;
    static const wl_registry_listener listener{NoteGlobal, IgnoreRemoval};
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &found);
    wl_display_roundtrip(display);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return found;
}

std::unique_ptr<DesktopBackend> NewSwaybgBackend()
{
    return std::make_unique<SwaybgBackend>();
}

} // namespace vorlane
