// KDE Plasma: the shell draws each desktop's wallpaper through its image plugin (org.kde.image) and
// takes changes as a script handed to its scripting interface on the session bus.
#include "wallpaper/Backends.h"
#include "wallpaper/PictureName.h"
#include "wallpaper/SessionBus.h"

namespace vorlane {
namespace {

// The image plugin's fill modes (its Image.fillMode): 0 stretches, 1 fits, 2 fills (cut at the edges),
// 3 repeats the picture, 6 centres it at its own size. Nothing spans the monitors: span fills each.
int FillMode(WallpaperPlacement placement)
{
    switch (placement) {
    case WallpaperPlacement::Tiled: return 3;
    case WallpaperPlacement::Fill: case WallpaperPlacement::Span: return 2;
    case WallpaperPlacement::Fit: return 1;
    case WallpaperPlacement::Stretch: return 0;
    default: return 6;
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

class PlasmaBackend final : public DesktopBackend {
public:
    std::string Name() const override { return "plasma"; }

    bool Apply(const WallpaperRequest& request) override
    {
        const std::string picture = request.path.empty() ? "" : PictureNameFor(request.path, NameReader::TextStore);
        const std::string image = picture.empty() ? std::string() : FileUri(picture);
        if (!request.path.empty() && image.empty())
            return false;
        const std::string script =
            "var all = desktops();\n"
            "for (var i = 0; i < all.length; ++i) {\n"
            "  var d = all[i];\n"
            "  d.wallpaperPlugin = \"org.kde.image\";\n"
            "  d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
            "  d.writeConfig(\"Image\", " + ScriptString(image) + ");\n"
            "  d.writeConfig(\"FillMode\", " + std::to_string(FillMode(request.placement)) + ");\n"
            "}\n";
        const BusPtr bus = OpenSessionBus();
        if (!bus)
            return false;
        GVariant* reply = CallBusMethod(bus.get(), "org.kde.plasmashell", "/PlasmaShell", "org.kde.PlasmaShell",
                                        "evaluateScript", g_variant_new("(s)", script.c_str()));
        if (reply)
            g_variant_unref(reply);
        return reply != nullptr;
    }
};

} // namespace

std::unique_ptr<DesktopBackend> NewPlasmaBackend()
{
    return std::make_unique<PlasmaBackend>();
}

} // namespace vorlane
