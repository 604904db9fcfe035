// The session's desktop: the registry records the settings, and every desktop that applies to the
// session shows them.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "platform/Registry.h"
#include "platform/RegistryIniFile.h"
#include "wallpaper/CWallPaper.h"
#include "wallpaper/Desktop.h"
#include "wallpaper/DesktopBackend.h"
#include "wallpaper/DesktopX11.h"

namespace vorlane {
namespace {

constexpr const char* DesktopKey = "Control Panel\\Desktop";

bool RecordWallpaper(const std::string& path)
{
    const auto key = registry::CreateKey(registry::Root, DesktopKey);
    return key && registry::SetValue(*key, "Wallpaper", REG_SZ, registry::StringData(path)) == registry::Result::Ok;
}

// "%NAME%" replaced by the environment variable's value; a name that is not set stays as it is.
std::string ExpandEnvironmentStrings(const std::string& text)
{
    std::string result;
    size_t at = 0;
    for (;;) {
        const size_t open = text.find('%', at);
        const size_t close = open == std::string::npos ? open : text.find('%', open + 1);
        if (close == std::string::npos)
            break;
        const std::string name = text.substr(open + 1, close - open - 1);
        const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
        result.append(text, at, open - at);
        if (value) {
            result += value;
            at = close + 1;
        } else {
            result.append(text, open, close - open); // the closing "%" may open the next name
            at = close;
        }
    }
    result.append(text, at);
    return result;
}

// A recorded string value, an expandable one with its variables expanded; nothing when it is missing
// or not a string.
std::optional<std::string> RecordedString(const char* name)
{
    const auto key = registry::OpenKey(registry::Root, DesktopKey);
    registry::Value value;
    if (!key || registry::QueryValue(*key, name, SIZE_MAX, value) != registry::Result::Ok ||
        (value.type != REG_SZ && value.type != REG_EXPAND_SZ))
        return std::nullopt;
    std::string text(value.data.begin(), value.data.end());
    if (const size_t nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    return value.type == REG_EXPAND_SZ ? ExpandEnvironmentStrings(text) : text;
}

int RecordedNumber(const char* name)
{
    const auto text = RecordedString(name);
    return text ? ParseRegistryInteger(*text).value_or(0) : 0;
}

WallpaperPlacement RecordedPlacement()
{
    return PlacementOf(RecordedNumber("TileWallPaper") != 0, RecordedNumber("WallpaperStyle"));
}

bool ApplyWallpaper(const std::string& path, WallpaperPlacement placement, X11RootDrawing* drawing = nullptr)
{
    WallpaperRequest request;
    request.drawing = drawing;
    if (path != NoWallPaperText)
        request.path = path;
    request.placement = placement;
    const auto outcomes = ApplyToSessionDesktops(request);
    return std::any_of(outcomes.begin(), outcomes.end(), [](const BackendOutcome& o) { return o.applied; });
}

class SessionDesktop final : public Desktop {
public:
    bool SystemParametersInfo(uint32_t action, uint32_t, const char* param, uint32_t winIni) override
    {
        if (action != SPI_SETDESKWALLPAPER || !param)
            return false;
        const std::string path(param);
        const bool recorded = !(winIni & SPIF_UPDATEINIFILE) || RecordWallpaper(path);
        const std::unique_ptr<X11RootDrawing> drawing = std::move(drawing_);
        return ApplyWallpaper(path, RecordedPlacement(), drawing.get()) && recorded;
    }

    PictureRows* PrepareDrawing() override
    {
        drawing_.reset();
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display)
            return nullptr;
        auto drawing = std::make_unique<X11RootDrawing>(RecordedPlacement());
        if (drawing->Ready())
            drawing_ = std::move(drawing);
        return drawing_.get();
    }

    void BroadcastSettingChange(const char* section) override
    {
        // The desktop answers a "Desktop" change by drawing its recorded wallpaper again; with none
        // recorded it leaves the screen alone.
        if (!section || std::strcmp(section, "Desktop") != 0)
            return;
        if (const auto path = RecordedString("Wallpaper"))
            ApplyWallpaper(*path, RecordedPlacement());
    }

private:
    std::unique_ptr<X11RootDrawing> drawing_; // from PrepareDrawing, for the next wallpaper
};

} // namespace

Desktop& SystemDesktop()
{
    static SessionDesktop desktop;
    return desktop;
}

} // namespace vorlane
