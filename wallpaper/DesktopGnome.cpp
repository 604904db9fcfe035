#include "wallpaper/DesktopGnome.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

namespace vorlane {
namespace {

constexpr const char* SchemaId = "org.gnome.desktop.background";

struct SchemaUnref {
    void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
};
struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct GFree {
    void operator()(gchar* text) const { g_free(text); }
};

using SchemaPtr = std::unique_ptr<GSettingsSchema, SchemaUnref>;

SchemaPtr LookUpSchema()
{
    // g_settings_new() aborts on a schema that is not installed; looking it up first does not.
    GSettingsSchemaSource* source = g_settings_schema_source_get_default(); // not ours to free
    if (!source)
        return nullptr;
    return SchemaPtr(g_settings_schema_source_lookup(source, SchemaId, TRUE));
}

bool SessionBusReachable()
{
    // Only an announced bus counts: without one GLib would launch a bus of its own.
    bool announced = false;
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) {
        announced = true;
    } else if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        struct stat info {};
        announced = ::stat((std::string(runtime) + "/bus").c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
    }
    if (!announced)
        return false;
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) {
        g_clear_error(&error);
        return false;
    }
    g_object_unref(bus);
    return true;
}

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

void SetPicture(GSettings* settings, GSettingsSchema* schema, const char* key, const std::string& uri)
{
    if (!g_settings_schema_has_key(schema, key))
        return; // picture-uri-dark came with later versions of the schema
    std::unique_ptr<gchar, GFree> current(g_settings_get_string(settings, key));
    const std::string value = current && uri == current.get() ? OtherSpelling(uri) : uri;
    g_settings_set_string(settings, key, value.c_str());
}

} // namespace

bool GnomeBackgroundAvailable()
{
    return LookUpSchema() != nullptr && SessionBusReachable();
}

bool SetGnomeBackground(const std::string& path, bool tile)
{
    const SchemaPtr schema = LookUpSchema();
    if (!schema || !SessionBusReachable())
        return false;
    std::string uri;
    if (!path.empty()) {
        uri = FileUri(path);
        if (uri.empty())
            return false;
    }
    std::unique_ptr<GSettings, ObjectUnref> settings(g_settings_new_full(schema.get(), nullptr, nullptr));
    if (path.empty()) {
        g_settings_set_string(settings.get(), "picture-options", "none");
    } else {
        SetPicture(settings.get(), schema.get(), "picture-uri", uri);
        SetPicture(settings.get(), schema.get(), "picture-uri-dark", uri);
        g_settings_set_string(settings.get(), "picture-options", tile ? "wallpaper" : "centered");
    }
    g_settings_sync(); // the writes reach the settings daemon before we return
    return true;
}

} // namespace vorlane
