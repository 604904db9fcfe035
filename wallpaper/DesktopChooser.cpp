// Which desktops show the wallpaper in this session: told by XDG_CURRENT_DESKTOP, by the desktop
// program's name on the session bus, or by the program running.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <optional>

#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/Process.h"
#include "wallpaper/Backends.h"
#include "wallpaper/DesktopGSettings.h"
#include "wallpaper/SessionBus.h"

namespace vorlane {
namespace {

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The command names of this user's processes in this session: those on our display (or, without an X
// display, our Wayland display). The same user's programs on other displays draw other desktops.
std::set<std::string> SessionProcesses()
{
    std::set<std::string> names;
    const char* displayVariable = !Environment("DISPLAY").empty()           ? "DISPLAY"
                                  : !Environment("WAYLAND_DISPLAY").empty() ? "WAYLAND_DISPLAY"
                                                                            : nullptr;
    const std::string display = displayVariable ? Environment(displayVariable) : "";
    for (const process::OwnProcess& own : process::OwnProcesses()) {
        if (displayVariable && process::StartingVariable(own.id, displayVariable) != display)
            continue;
        if (!own.name.empty())
            names.insert(own.name);
    }
    return names;
}

// The first of `wanted` that the ":"-separated list of desktop names holds, letter case aside.
std::string NamedDesktop(const std::string& desktops, std::initializer_list<const char*> wanted)
{
    size_t start = 0;
    while (start <= desktops.size()) {
        const size_t end = std::min(desktops.find(':', start), desktops.size());
        const std::string name = desktops.substr(start, end - start);
        for (const char* candidate : wanted)
            if (path::AsciiLowerCase(name) == path::AsciiLowerCase(candidate))
                return candidate;
        start = end + 1;
    }
    return {};
}

class Chooser {
public:
    explicit Chooser(const SessionFacts& facts) : facts_(facts) {}

    // Why the desktop runs: its name in XDG_CURRENT_DESKTOP, its program on the session bus or running.
    std::string Evidence(std::initializer_list<const char*> desktops, std::initializer_list<const char*> busNames,
                         std::initializer_list<const char*> programs) const
    {
        if (const std::string name = NamedDesktop(facts_.currentDesktop, desktops); !name.empty())
            return "XDG_CURRENT_DESKTOP names " + name;
        for (const char* name : busNames)
            if (facts_.busNames.count(name))
                return std::string(name) + " is on the session bus";
        for (const char* program : programs)
            if (facts_.processes.count(program))
                return std::string(program) + " is running";
        return {};
    }

    void Add(std::unique_ptr<DesktopBackend> backend, std::string reason)
    {
        if (!reason.empty())
            chosen_.push_back({std::move(backend), std::move(reason)});
    }

    // A desktop that draws from a background schema: chosen when it runs, its schema is installed and
    // the session bus reaches its settings.
    void AddSettings(std::unique_ptr<DesktopBackend> backend, const BackgroundSchema& schema, std::string evidence)
    {
        if (!evidence.empty() && facts_.sessionBus && facts_.gsettingsSchemas.count(schema.id))
            Add(std::move(backend), std::move(evidence));
    }

    // Whether a desktop of its own (anything but the X root) was chosen so far.
    bool DesktopChosen() const
    {
        return std::any_of(chosen_.begin(), chosen_.end(),
                           [](const ChosenBackend& c) { return c.backend->Name() != "x11-root"; });
    }

    std::vector<ChosenBackend> Take() { return std::move(chosen_); }

private:
    const SessionFacts& facts_;
    std::vector<ChosenBackend> chosen_;
};

} // namespace

SessionFacts ObserveSession()
{
    SessionFacts facts;
    facts.currentDesktop = Environment("XDG_CURRENT_DESKTOP");
    if (facts.currentDesktop.empty())
        facts.currentDesktop = Environment("DESKTOP_SESSION");
    facts.x11Display = !Environment("DISPLAY").empty();
    facts.swaySocket = files::IsSocket(Environment("SWAYSOCK"));
    if (!facts.swaySocket && !Environment("WAYLAND_DISPLAY").empty())
        facts.layerShell = WaylandOffersLayerShell();
    if (const BusPtr bus = OpenSessionBus()) {
        facts.sessionBus = true;
        facts.busNames = OwnedBusNames(bus.get());
    }
    facts.processes = SessionProcesses();
    for (const BackgroundSchema* schema : {&GnomeBackground, &CinnamonBackground, &MateBackground})
        if (BackgroundSchemaInstalled(*schema))
            facts.gsettingsSchemas.insert(schema->id);
    return facts;
}

std::vector<ChosenBackend> ChooseDesktopBackends(const SessionFacts& facts)
{
    Chooser chooser(facts);
    // Plain window managers show the root window's background, and compositors read the root pixmap.
    chooser.Add(NewX11RootBackend(), facts.x11Display ? "DISPLAY names an X display" : "");
    chooser.AddSettings(NewGnomeBackend(), GnomeBackground,
                        chooser.Evidence({"GNOME", "GNOME-Classic", "GNOME-Flashback", "Unity", "Budgie", "Pantheon"},
                                         {"org.gnome.Shell"}, {"gnome-shell"}));
    chooser.AddSettings(NewCinnamonBackend(), CinnamonBackground,
                        chooser.Evidence({"X-Cinnamon", "Cinnamon"}, {"org.Cinnamon"}, {"cinnamon"}));
    chooser.AddSettings(NewMateBackend(), MateBackground, chooser.Evidence({"MATE"}, {}, {"caja"}));
    if (facts.sessionBus)
        chooser.Add(NewXfceBackend(), chooser.Evidence({"XFCE"}, {}, {"xfdesktop"}));
    // The running instance takes the picture; while none runs in their session (before it starts, or
    // after it ended), their settings files do. LXDE starts pcmanfm with the profile "LXDE", LXQt
    // pcmanfm-qt with "lxqt".
    const bool lxde = !NamedDesktop(facts.currentDesktop, {"LXDE"}).empty();
    const bool lxqt = !NamedDesktop(facts.currentDesktop, {"LXQt"}).empty();
    chooser.Add(NewPcmanfmBackend(facts.processes.count("pcmanfm") > 0, lxde ? "LXDE" : "default"),
                chooser.Evidence({"LXDE"}, {}, {"pcmanfm"}));
    chooser.Add(NewPcmanfmQtBackend(facts.processes.count("pcmanfm-qt") > 0, lxqt ? "lxqt" : "default"),
                chooser.Evidence({"LXQt"}, {}, {"pcmanfm-qt"}));
    const bool plasmaRunning = facts.busNames.count("org.kde.plasmashell") || facts.processes.count("plasmashell");
    chooser.Add(NewPlasmaBackend(plasmaRunning), chooser.Evidence({"KDE"}, {"org.kde.plasmashell"}, {"plasmashell"}));
    chooser.Add(NewSwayBackend(), facts.swaySocket ? "SWAYSOCK names sway's socket" : "");
    // Other wlroots compositors take a background client of ours; a desktop that draws its own
    // background on a compositor with the same protocol (Plasma's KWin offers it) is left to itself.
    chooser.Add(NewSwaybgBackend(), !facts.swaySocket && facts.layerShell && !chooser.DesktopChosen()
                                        ? "the Wayland compositor offers wlr-layer-shell"
                                        : "");
    return chooser.Take();
}

std::vector<BackendOutcome> ApplyToDesktops(std::vector<ChosenBackend>& chosen, const WallpaperRequest& request)
{
    std::vector<BackendOutcome> outcomes;
    for (auto& [backend, reason] : chosen) {
        bool applied = false;
        try {
            applied = backend->Apply(request);
        } catch (const std::exception&) {
            // one desktop's failure must not keep the others from showing the picture
        }
        outcomes.push_back({backend->Name(), reason, applied});
    }
    return outcomes;
}

std::vector<BackendOutcome> ApplyToSessionDesktops(const WallpaperRequest& request)
{
    auto chosen = ChooseDesktopBackends(ObserveSession());
    return ApplyToDesktops(chosen, request);
}

} // namespace vorlane
