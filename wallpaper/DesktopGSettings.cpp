#include "wallpaper/DesktopGSettings.h"

#include <X11/Xlib.h>
#include <gio/gio.h>

#include <filesystem>
#include <memory>
#include <system_error>

#include "wallpaper/Backends.h"
#include "wallpaper/PictureName.h"
#include "wallpaper/SessionBus.h"
#include "wallpaper/TilingPicture.h"

namespace vorlane {
namespace {

struct SchemaUnref {
    void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
};
struct GFree {
    void operator()(gchar* text) const { g_free(text); }
};

using SchemaPtr = std::unique_ptr<GSettingsSchema, SchemaUnref>;

SchemaPtr LookUpSchema(const char* id)
{
    // g_settings_new() aborts on a schema that is not installed; looking it up first does not.
    GSettingsSchemaSource* source = g_settings_schema_source_get_default(); // not ours to free
    if (!source)
        return nullptr;
    return SchemaPtr(g_settings_schema_source_lookup(source, id, TRUE));
}

bool SessionBusReachable()
{
    return OpenSessionBus() != nullptr;
}

// The same file under another spelling: the last "." of the name written as "%2E" (or, in a name
// without one, its last character escaped). Both decode to the same path.
std::string OtherSpelling(const std::string& uri)
{
    const size_t name = uri.rfind('/') + 1;
    const size_t dot = uri.rfind('.');
    if (dot != std::string::npos && dot >= name)
        return uri.substr(0, dot) + "%2E" + uri.substr(dot + 1);
    if (uri.size() > name && uri.back() != '%' && uri[uri.size() - 3] != '%') {
        static constexpr char Hex[] = "0123456789ABCDEF";
        const auto last = static_cast<unsigned char>(uri.back());
        return uri.substr(0, uri.size() - 1) + '%' + Hex[last >> 4] + Hex[last & 15];
    }
    return uri;
}

void SetPicture(GSettings* settings, GSettingsSchema* schema, const char* key, const std::string& value, bool uri)
{
    if (!key || !g_settings_schema_has_key(schema, key))
        return; // picture-uri-dark came with later versions of GNOME's schema
    std::unique_ptr<gchar, GFree> current(g_settings_get_string(settings, key));
    const bool same = current && value == current.get();
    const std::string fresh = !same ? value : uri ? OtherSpelling(value) : PathSpelledAnew(value);
    g_settings_set_string(settings, key, fresh.c_str());
}

// The picture-options of each placement; GNOME, Cinnamon and MATE name them alike.
const char* PictureOptions(WallpaperPlacement placement)
{
    switch (placement) {
    case WallpaperPlacement::Tiled:
        return "wallpaper";
    case WallpaperPlacement::Fill:
        return "zoom";
    case WallpaperPlacement::Fit:
        return "scaled";
    case WallpaperPlacement::Stretch:
        return "stretched";
    case WallpaperPlacement::Span:
        return "spanned";
    default:
        return "centered";
    }
}

// The X screen's size; nothing without a display.
PixelRect ScreenArea()
{
    PixelRect area;
    if (Display* display = XOpenDisplay(nullptr)) {
        area = {0, 0, DisplayWidth(display, DefaultScreen(display)), DisplayHeight(display, DefaultScreen(display))};
        XCloseDisplay(display);
    }
    return area;
}

class GSettingsBackend final : public DesktopBackend {
public:
    GSettingsBackend(const char* name, const BackgroundSchema& schema) : name_(name), schema_(schema) {}
    std::string Name() const override { return name_; }
    bool Apply(const WallpaperRequest& request) override
    {
        // GNOME Shell anchors its tiling at the screen's centre, and its compositor stretches that one
        // tile over each monitor (it scales the tile's texture area by the tile's size over the
        // monitor's, a ratio that is 1 for the other placements). It is shown a picture of the tiling the
        // size of the X screen, all monitors' bounding box, spanned over them at its own size.
        if (&schema_ == &GnomeBackground && request.placement == WallpaperPlacement::Tiled && !request.path.empty())
            if (const std::string tiling = WriteTilingPicture(request.path, ScreenArea()); !tiling.empty())
                return SetBackgroundName(schema_, tiling, true, WallpaperPlacement::Span);
        return SetBackgroundSettings(schema_, request.path, request.placement);
    }

private:
    const char* name_;
    const BackgroundSchema& schema_;
};

} // namespace

std::string FileUri(const std::string& path)
{
    std::error_code error;
    const std::string absolute = std::filesystem::absolute(path, error).string();
    if (error)
        return {};
    GError* failure = nullptr;
    std::unique_ptr<gchar, GFree> uri(g_filename_to_uri(absolute.c_str(), nullptr, &failure));
    if (!uri) {
        g_clear_error(&failure);
        return {};
    }
    return uri.get();
}

bool BackgroundSchemaInstalled(const BackgroundSchema& schema)
{
    return LookUpSchema(schema.id) != nullptr;
}

bool SetBackgroundSettings(const BackgroundSchema& background, const std::string& path, WallpaperPlacement placement)
{
    // GSettings holds UTF-8 text only: another name gives criticals and sets nothing.
    return SetBackgroundName(background, path.empty() ? path : PictureNameFor(path, NameReader::TextStore),
                             !path.empty(), placement);
}

bool SetBackgroundName(const BackgroundSchema& background, const std::string& name, bool withPicture,
                       WallpaperPlacement placement)
{
    const SchemaPtr schema = LookUpSchema(background.id);
    if (!schema || !SessionBusReachable())
        return false;
    const std::string path = withPicture ? name : std::string();
    std::string picture;
    if (withPicture) {
        picture = background.uri && !name.empty() ? FileUri(name) : name;
        if (picture.empty())
            return false;
    }
    std::unique_ptr<GSettings, GObjectUnref> settings(g_settings_new_full(schema.get(), nullptr, nullptr));
    if (path.empty()) {
        g_settings_set_string(settings.get(), "picture-options", "none");
    } else {
        SetPicture(settings.get(), schema.get(), background.pictureKey, picture, background.uri);
        SetPicture(settings.get(), schema.get(), background.darkPictureKey, picture, background.uri);
        g_settings_set_string(settings.get(), "picture-options", PictureOptions(placement));
    }
    g_settings_sync(); // the writes reach the settings daemon before we return
    return true;
}

std::unique_ptr<DesktopBackend> NewGnomeBackend()
{
    return std::make_unique<GSettingsBackend>("gnome", GnomeBackground);
}

std::unique_ptr<DesktopBackend> NewCinnamonBackend()
{
    return std::make_unique<GSettingsBackend>("cinnamon", CinnamonBackground);
}

std::unique_ptr<DesktopBackend> NewMateBackend()
{
    return std::make_unique<GSettingsBackend>("mate", MateBackground);
}

} // namespace vorlane
