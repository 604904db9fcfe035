// XFCE: xfdesktop draws the background of each monitor and workspace from the xfconf channel
// "xfce4-desktop" (/backdrop/screen<N>/monitor<NAME>/workspace<N>/last-image and image-style), which it
// fills in when it first draws. Every such monitor and workspace receives the picture. Before xfdesktop
// has ever run (a new user's first login) the channel holds no backdrop: the properties are then made
// for what xfdesktop will read when it starts.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <set>
#include <vector>

#include "wallpaper/Backends.h"
#include "wallpaper/PictureName.h"
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

// The names xfdesktop gives the monitors of screen 0: each active RandR monitor by the name of its first
// connected output, as GTK names it; "screen" when the server names none.
std::vector<std::string> MonitorNames(Display* display)
{
    std::vector<std::string> names;
    const Window root = DefaultRootWindow(display);
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (XRRQueryExtension(display, &eventBase, &errorBase) && XRRQueryVersion(display, &major, &minor) &&
        (major > 1 || (major == 1 && minor >= 5))) {
        XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
        int count = 0;
        XRRMonitorInfo* monitors = resources ? XRRGetMonitors(display, root, True, &count) : nullptr;
        for (int i = 0; i < count; ++i) {
            if (monitors[i].noutput < 1)
                continue;
            bool known = false;
            for (int o = 0; o < resources->noutput && !known; ++o)
                known = resources->outputs[o] == monitors[i].outputs[0];
            if (!known)
                continue; // an output id the server no longer has
            if (XRROutputInfo* output = XRRGetOutputInfo(display, resources, monitors[i].outputs[0])) {
                const std::string name(output->name, size_t(output->nameLen));
                if (output->connection != RR_Disconnected && !name.empty() &&
                    std::find(names.begin(), names.end(), name) == names.end())
                    names.push_back(name);
                XRRFreeOutputInfo(output);
            }
        }
        if (monitors)
            XRRFreeMonitors(monitors);
        if (resources)
            XRRFreeScreenResources(resources);
    }
    if (names.empty())
        names.push_back("screen");
    return names;
}

// The number of workspaces the window manager announces on the root (_NET_NUMBER_OF_DESKTOPS); 1 when
// it announces none.
long WorkspaceCount(Display* display)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long workspaces = 1;
    if (XGetWindowProperty(display, DefaultRootWindow(display), XInternAtom(display, "_NET_NUMBER_OF_DESKTOPS", False),
                           0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
        type == XA_CARDINAL && format == 32 && count == 1)
        workspaces = *reinterpret_cast<const long*>(data);
    if (data)
        XFree(data);
    // A bound against a property holding nonsense: every workspace is a handful of properties.
    return workspaces >= 1 && workspaces <= 64 ? workspaces : 1;
}

// "/backdrop/screen0/monitor<NAME>/workspace<N>" for every monitor and workspace xfdesktop draws on
// this display; the one of the screen without a display.
std::set<std::string> WorkspacesXfdesktopReads()
{
    std::vector<std::string> monitors{"screen"};
    long workspaces = 1;
    if (Display* display = XOpenDisplay(nullptr)) {
        monitors = MonitorNames(display);
        workspaces = WorkspaceCount(display);
        XCloseDisplay(display);
    }
    std::set<std::string> paths;
    for (const auto& monitor : monitors)
        for (long workspace = 0; workspace < workspaces; ++workspace)
            paths.insert("/backdrop/screen0/monitor" + monitor + "/workspace" + std::to_string(workspace));
    return paths;
}

// xfdesktop's image-style: 0 shows no picture, 1 centres it, 2 tiles, 3 stretches, 4 scales to fit,
// 5 zooms to fill, 6 spans the screens.
int ImageStyle(WallpaperPlacement placement)
{
    switch (placement) {
    case WallpaperPlacement::Tiled:
        return 2;
    case WallpaperPlacement::Stretch:
        return 3;
    case WallpaperPlacement::Fit:
        return 4;
    case WallpaperPlacement::Fill:
        return 5;
    case WallpaperPlacement::Span:
        return 6;
    default:
        return 1;
    }
}

class XfceBackend final : public DesktopBackend {
public:
    std::string Name() const override { return "xfce"; }

    bool Apply(const WallpaperRequest& request) override
    {
        // xfconf holds UTF-8 text only: g_variant_new_string() makes nothing of another name.
        const std::string picture = request.path.empty() ? "" : PictureNameFor(request.path, NameReader::TextStore);
        if (!request.path.empty() && picture.empty())
            return false;
        const BusPtr bus = OpenSessionBus();
        if (!bus)
            return false;
        std::string error;
        GVariant* reply = CallBusMethod(bus.get(), Service, ObjectPath, Interface, "GetAllProperties",
                                        g_variant_new("(ss)", Channel, "/backdrop"), 5000, &error);
        // xfconfd answers so while the channel holds no backdrop (or is not there) yet.
        if (!reply && error != "org.xfce.Xfconf.Error.ChannelNotFound" &&
            error != "org.xfce.Xfconf.Error.PropertyNotFound")
            return false;
        std::set<std::string> workspaces;
        std::set<std::string> shownImages; // the workspaces whose last-image already names this file
        if (reply) {
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
                    picture == g_variant_get_string(value, nullptr))
                    shownImages.insert(workspace);
            }
            g_variant_iter_free(iter);
            g_variant_unref(reply);
        }
        if (workspaces.empty())
            workspaces = WorkspacesXfdesktopReads();

        bool applied = !workspaces.empty();
        for (const auto& workspace : workspaces) {
            const int style = request.path.empty() ? 0 : ImageStyle(request.placement);
            applied = Set(bus.get(), workspace + "/image-style", g_variant_new_int32(style)) && applied;
            if (request.path.empty())
                continue;
            // A file rewritten under the same name is named anew, so xfdesktop loads it again.
            const std::string image = shownImages.count(workspace) ? PathSpelledAnew(picture) : picture;
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
