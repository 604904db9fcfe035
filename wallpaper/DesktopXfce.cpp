// XFCE: xfdesktop draws the background of each monitor and workspace from the xfconf channel
// "xfce4-desktop" (/backdrop/screen<N>/monitor<NAME>/workspace<N>/last-image and image-style), which it
// creates when it first draws. Every such monitor and workspace receives the picture.
#include <set>

#include "wallpaper/Backends.h"
#include "wallpaper/SessionBus.h"

namespace vorlane {
namespace {

constexpr const char* Service = "org.xfce.Xfconf";
constexpr const char* ObjectPath = "/org/xfce/Xfconf";
constexpr const char* Interface = "org.xfce.Xfconf";
constexpr const char* Channel = "xfce4-desktop";

// "/backdrop/screen0/monitorscreen/workspace0" of "/backdrop/screen0/monitorscreen/workspace0/last-image";
// empty for properties of another shape.
std::string WorkspaceOf(const std::string& property)
{
    size_t at = 0;
    for (const std::string part : {"/backdrop/screen", "/monitor", "/workspace"}) {
        if (property.compare(at, part.size(), part) != 0)
            return {};
        const size_t name = at + part.size();
        at = property.find('/', name);
        if (at == std::string::npos || at == name)
            return {};
    }
    return property.substr(0, at);
}

class XfceBackend final : public DesktopBackend {
public:
    std::string Name() const override { return "xfce"; }

    bool Apply(const WallpaperRequest& request) override
    {
        const BusPtr bus = OpenSessionBus();
        if (!bus)
            return false;
        GVariant* reply = CallBusMethod(bus.get(), Service, ObjectPath, Interface, "GetAllProperties",
                                        g_variant_new("(ss)", Channel, "/backdrop"));
        if (!reply)
            return false;
        std::set<std::string> workspaces;
        std::set<std::string> shownImages; // the workspaces whose last-image already names this file
        GVariantIter* iter = nullptr;
        const gchar* property = nullptr;
        GVariant* value = nullptr;
        g_variant_get(reply, "(a{sv})", &iter);
        while (g_variant_iter_loop(iter, "{&sv}", &property, &value)) {
            const std::string workspace = WorkspaceOf(property);
            if (workspace.empty())
                continue;
            workspaces.insert(workspace);
            if (workspace + "/last-image" == property && g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) &&
                request.path == g_variant_get_string(value, nullptr))
                shownImages.insert(workspace);
        }
        g_variant_iter_free(iter);
        g_variant_unref(reply);

        bool applied = !workspaces.empty();
        for (const auto& workspace : workspaces) {
            // 0 shows no picture, 1 centres it, 2 tiles it.
            const int style = request.path.empty() ? 0 : request.tile ? 2 : 1;
            applied = Set(bus.get(), workspace + "/image-style", g_variant_new_int32(style)) && applied;
            if (request.path.empty())
                continue;
            // A file rewritten under the same name is named anew, so xfdesktop loads it again.
            const std::string image = shownImages.count(workspace) ? PathSpelledAnew(request.path) : request.path;
            applied = Set(bus.get(), workspace + "/last-image", g_variant_new_string(image.c_str())) && applied;
        }
        return applied;
    }

private:
    static bool Set(GDBusConnection* bus, const std::string& property, GVariant* value)
    {
        GVariant* reply = CallBusMethod(bus, Service, ObjectPath, Interface, "SetProperty",
                                        g_variant_new("(ssv)", Channel, property.c_str(), value));
        if (reply)
            g_variant_unref(reply);
        return reply != nullptr;
    }
};

} // namespace

std::unique_ptr<DesktopBackend> NewXfceBackend()
{
    return std::make_unique<XfceBackend>();
}

} // namespace vorlane
