// KDE Plasma: the shell draws each desktop's wallpaper through its image plugin (org.kde.image) and
// takes changes as a script handed to its scripting interface on the session bus. It keeps a picture it
// loaded by its URL: a file rewritten under the same name ("Temp.bmp") is given under its other spelling.
// While the shell is not running, its layout file (which it reads when it starts) gets the picture.
#include "wallpaper/Backends.h"
#include "platform/Waits.h"
#include "wallpaper/DesktopSettingsFile.h"
#include "wallpaper/PictureName.h"
#include "wallpaper/SessionBus.h"
#include "wallpaper/TilingPicture.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cstdlib>
#include <filesystem>

namespace vorlane {
namespace {

// The image plugin's fill modes (its Image.fillMode): 0 stretches, 1 fits, 2 fills (cut at the edges),
// 3 repeats the picture, 6 centres it at its own size. Nothing spans the monitors: span fills each.
int FillMode(WallpaperPlacement placement)
{
    switch (placement) {
    case WallpaperPlacement::Tiled:
        return 3;
    case WallpaperPlacement::Fill:
    case WallpaperPlacement::Span:
        return 2;
    case WallpaperPlacement::Fit:
        return 1;
    case WallpaperPlacement::Stretch:
        return 0;
    default:
        return 6;
    }
}

// A text as a JavaScript string literal.
std::string ScriptString(const std::string& text)
{
    std::string literal = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            literal += '\\';
        if (c == '\n')
            literal += "\\n";
        else
            literal += c;
    }
    return literal + '"';
}

constexpr const char* LayoutFile = "plasma-org.kde.plasma.desktop-appletsrc";

// The groups of the desktops (not the panels) in the shell's layout file: "Containments][<id>" bound to an
// activity.
std::vector<std::string> LayoutDesktops(const DesktopSettingsFile& layout)
{
    std::vector<std::string> desktops;
    for (const std::string& group : layout.Groups())
        if (group.starts_with("Containments][") && group.find(']', 14) == std::string::npos &&
            !layout.Get(group, "activityId").value_or("").empty())
            desktops.push_back(group);
    return desktops;
}

// The X monitors by name, the primary first: the shell numbers its screens so, 0 the primary, and
// records the connector a number stands for in plasmashellrc ("[ScreenConnectors]") once it has one.
// Without RandR monitors, the whole screen.
std::vector<std::pair<std::string, PixelRect>> XMonitors()
{
    std::vector<std::pair<std::string, PixelRect>> monitors;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return monitors;
    const Window root = DefaultRootWindow(display);
    int count = 0;
    if (XRRMonitorInfo* info = XRRGetMonitors(display, root, True, &count)) {
        for (int i = 0; i < count; ++i) {
            char* name = XGetAtomName(display, info[i].name);
            const auto at = info[i].primary ? monitors.begin() : monitors.end();
            monitors.insert(at, {name ? name : "", {info[i].x, info[i].y, info[i].width, info[i].height}});
            if (name)
                XFree(name);
        }
        XRRFreeMonitors(info);
    }
    if (monitors.empty())
        monitors.push_back(
            {"",
             {0, 0, DisplayWidth(display, DefaultScreen(display)), DisplayHeight(display, DefaultScreen(display))}});
    XCloseDisplay(display);
    return monitors;
}

// The area of the shell's screen `number`; empty when it is not known.
PixelRect ShellScreen(const std::vector<std::pair<std::string, PixelRect>>& monitors, const std::string& config,
                      const std::string& number)
{
    const auto connector = DesktopSettingsFile(config + "plasmashellrc").Get("ScreenConnectors", number);
    for (const auto& [name, area] : monitors)
        if (connector && *connector == name)
            return area;
    const size_t index = std::strtoul(number.c_str(), nullptr, 10);
    return !connector && index < monitors.size() ? monitors[index].second : PixelRect{};
}

class PlasmaBackend final : public DesktopBackend {
public:
    explicit PlasmaBackend(bool running) : running_(running) {}
    std::string Name() const override { return "plasma"; }

    bool Apply(const WallpaperRequest& request) override
    {
        const std::string picture = request.path.empty() ? "" : PictureNameFor(request.path, NameReader::TextStore);
        const std::string image = picture.empty() ? std::string() : FileUri(picture);
        const std::string other = picture.empty() ? std::string() : FileUri(PathSpelledAnew(picture));
        if (!request.path.empty() && (image.empty() || other.empty()))
            return false;
        const int fillMode = FillMode(request.placement);
        if (!running_)
            return WriteLayout(picture, image, request.placement);
        const BusPtr bus = OpenSessionBus();
        if (!bus)
            return false;
        // Plasma tiles from each screen's centre: a screen whose tiling picture could be drawn shows that
        // at its own size instead (TilingPicture.h); named after its content, the one it shows already
        // stays, never replaced by the picture's other spelling. The pictures are drawn for the X
        // monitors as they are now, keyed by their geometry and by the shell's number for them: just
        // after a monitor changed, the shell may still give a screen its old geometry.
        std::string tilings = "{}";
        if (request.placement == WallpaperPlacement::Tiled && !picture.empty()) {
            const auto monitors = XMonitors();
            const std::string config = UserConfigFolder();
            std::vector<std::string> written;
            tilings = "{";
            for (size_t i = 0; i < monitors.size(); ++i) {
                const PixelRect screen = ShellScreen(monitors, config, std::to_string(i));
                if (const std::string file = WriteTilingPicture(picture, screen, written); !file.empty()) {
                    written.push_back(file);
                    const std::string uri = ScriptString(FileUri(file));
                    tilings +=
                        ScriptString(GeometryKey(screen)) + ": " + uri + ", " + std::to_string(i) + ": " + uri + ", ";
                }
            }
            tilings += "}";
        }
        const std::string script = "var tilings = " + tilings +
                                   ";\n"
                                   "var all = desktops();\n"
                                   "for (var i = 0; i < all.length; ++i) {\n"
                                   "  var d = all[i];\n"
                                   "  var g = screenGeometry(d.screen);\n"
                                   "  var tiling = tilings[g.x + \" \" + g.y + \" \" + g.width + \" \" + g.height] ||\n"
                                   "               tilings[d.screen];\n"
                                   "  d.wallpaperPlugin = \"org.kde.image\";\n"
                                   "  d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
                                   "  var image = tiling ? tiling : " +
                                   ScriptString(image) +
                                   ";\n"
                                   "  if (!tiling && image != \"\" && d.readConfig(\"Image\") == image)\n"
                                   "    image = " +
                                   ScriptString(other) +
                                   ";\n"
                                   "  d.writeConfig(\"Image\", image);\n"
                                   "  d.writeConfig(\"FillMode\", tiling ? 6 : " +
                                   std::to_string(fillMode) +
                                   ");\n"
                                   "}\n"
                                   "print(all.length);\n";
        // A shell still making its first layout has no desktops yet: nothing was shown then.
        GVariant* reply = CallBusMethod(bus.get(), "org.kde.plasmashell", "/PlasmaShell", "org.kde.PlasmaShell",
                                        "evaluateScript", g_variant_new("(s)", script.c_str()));
        const gchar* printed = nullptr;
        if (reply && g_variant_is_of_type(reply, G_VARIANT_TYPE("(s)")))
            g_variant_get(reply, "(&s)", &printed);
        const bool shown = printed && std::strtol(printed, nullptr, 10) > 0;
        if (reply)
            g_variant_unref(reply);
        return shown;
    }

private:
    static std::string GeometryKey(const PixelRect& r)
    {
        return std::to_string(r.x) + " " + std::to_string(r.y) + " " + std::to_string(r.width) + " " +
               std::to_string(r.height);
    }

    // The layout file is the shell's own: before its first start there is none, and a file of ours
    // alone would be replaced by its default layout (a new desktop starts from an empty group). Only the
    // desktops of an existing layout are changed; a tiled picture as on the running shell, each desktop
    // shown the tiling of its screen (its "lastScreen").
    static bool WriteLayout(const std::string& picture, const std::string& image, WallpaperPlacement placement)
    {
        const std::string config = UserConfigFolder();
        if (config.empty())
            return false;
        DesktopSettingsFile layout(config + LayoutFile);
        const auto desktops = LayoutDesktops(layout);
        if (desktops.empty())
            return false;
        const auto monitors = placement == WallpaperPlacement::Tiled && !picture.empty()
                                  ? XMonitors()
                                  : std::vector<std::pair<std::string, PixelRect>>{};
        std::vector<std::string> written;
        bool set = true;
        for (const std::string& desktop : desktops) {
            std::string shown = image;
            int fillMode = FillMode(placement);
            if (!monitors.empty()) {
                const PixelRect screen = ShellScreen(monitors, config, layout.Get(desktop, "lastScreen").value_or("0"));
                if (const std::string file = WriteTilingPicture(picture, screen, written); !file.empty()) {
                    written.push_back(file);
                    shown = FileUri(file);
                    fillMode = FillMode(WallpaperPlacement::Centred);
                }
            }
            const std::string general = desktop + "][Wallpaper][org.kde.image][General";
            set = layout.Set(desktop, "wallpaperplugin", "org.kde.image") && layout.Set(general, "Image", shown) &&
                  layout.Set(general, "FillMode", std::to_string(fillMode)) && set;
        }
        return set && layout.Save();
    }

    bool running_;
};

} // namespace

bool PlasmaLayoutHasDesktops()
{
    const std::string config = UserConfigFolder();
    return !config.empty() && !LayoutDesktops(DesktopSettingsFile(config + LayoutFile)).empty();
}

bool AwaitPlasmaDesktops(int seconds)
{
    const std::string config = UserConfigFolder();
    if (config.empty())
        return false;
    // The shell writes its layout file (replacing it whole) once it made its desktops.
    std::error_code ignored;
    std::filesystem::create_directories(config, ignored);
    return WaitInFolderUntil(config, seconds * 1000, PlasmaLayoutHasDesktops);
}

std::unique_ptr<DesktopBackend> NewPlasmaBackend(bool running)
{
    return std::make_unique<PlasmaBackend>(running);
}

} // namespace vorlane
