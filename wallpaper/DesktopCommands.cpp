// Desktops that take the wallpaper through their own command: the running pcmanfm (LXDE) and
// pcmanfm-qt (LXQt) hand it to the instance that draws the desktop; swaymsg hands it to sway. pcmanfm
// writes the name raw into its settings file and sway expands it as words, so both get a plain name.
// While pcmanfm or pcmanfm-qt is not running, their settings files, which they read when they start,
// receive the picture instead.
#include <dirent.h>

#include <filesystem>
#include <set>
#include <system_error>

#include "wallpaper/Backends.h"
#include "wallpaper/DesktopSettingsFile.h"
#include "wallpaper/PictureName.h"
#include "wallpaper/RunProgram.h"

namespace vorlane {
namespace {

// The --wallpaper-mode of each placement. pcmanfm's "screen" stretches one picture over all monitors.
// pcmanfm-qt's command takes none that fills ("zoom" is only in its settings file, which it reads when
// it starts) and none across monitors: the nearest that keeps the proportions is "fit".
const char* PcmanfmMode(WallpaperPlacement placement, bool qt)
{
    switch (placement) {
    case WallpaperPlacement::Tiled: return "tile";
    case WallpaperPlacement::Fill: return qt ? "fit" : "crop";
    case WallpaperPlacement::Fit: return "fit";
    case WallpaperPlacement::Stretch: return "stretch";
    case WallpaperPlacement::Span: return qt ? "fit" : "screen";
    default: return "center";
    }
}

// sway's background modes; one picture over all outputs is not among them, so span fills each.
const char* SwayMode(WallpaperPlacement placement)
{
    switch (placement) {
    case WallpaperPlacement::Tiled: return "tile";
    case WallpaperPlacement::Fill: case WallpaperPlacement::Span: return "fill";
    case WallpaperPlacement::Fit: return "fit";
    case WallpaperPlacement::Stretch: return "stretch";
    default: return "center";
    }
}

// The mode pcmanfm-qt's settings file names ("WallpaperMode"), which unlike its command has "zoom".
const char* PcmanfmQtFileMode(WallpaperPlacement placement)
{
    switch (placement) {
    case WallpaperPlacement::Fill: case WallpaperPlacement::Span: return "zoom";
    default: return PcmanfmMode(placement, true);
    }
}

// The profiles of the program's settings folder (<config>/pcmanfm/LXDE/, ...) and the one the session
// starts it with, which may not be there yet.
std::set<std::string> Profiles(const std::string& folder, const std::string& sessionProfile)
{
    std::set<std::string> profiles{sessionProfile};
    if (DIR* entries = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(entries)) {
            const std::string name = entry->d_name;
            std::error_code error;
            if (name != "." && name != ".." && std::filesystem::is_directory(folder + name, error))
                profiles.insert(name);
        }
        ::closedir(entries);
    }
    return profiles;
}

// A settings file of the user's, begun from the system's defaults when the user has none yet.
DesktopSettingsFile UserSettings(const std::string& file, const std::string& systemFile)
{
    DesktopSettingsFile settings(file);
    if (!settings.Existed()) {
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(file).parent_path(), error);
        std::filesystem::copy_file(systemFile, file, error);
        settings = DesktopSettingsFile(file);
    }
    return settings;
}

class PcmanfmBackend final : public DesktopBackend {
public:
    PcmanfmBackend(const char* program, bool qt, bool running, std::string sessionProfile)
        : program_(program), qt_(qt), running_(running), sessionProfile_(std::move(sessionProfile))
    {
    }
    std::string Name() const override { return program_; }
    bool Apply(const WallpaperRequest& request) override
    {
        const std::string picture = request.path.empty() ? "" : PictureNameFor(request.path, NameReader::PlainWord);
        if (!request.path.empty() && picture.empty())
            return false;
        if (!running_)
            return WriteSettings(picture, request.placement);
        if (request.path.empty())
            return RunProgram({program_, "--wallpaper-mode=color"});
        return RunProgram({program_, "--set-wallpaper=" + picture,
                           std::string("--wallpaper-mode=") + PcmanfmMode(request.placement, qt_)});
    }

private:
    // pcmanfm: <config>/pcmanfm/<profile>/desktop-items-<monitor>.conf, group "*"; pcmanfm-qt:
    // <config>/pcmanfm-qt/<profile>/settings.conf, group "Desktop". An empty picture shows the colour.
    bool WriteSettings(const std::string& picture, WallpaperPlacement placement) const
    {
        const std::string config = UserConfigFolder();
        if (config.empty())
            return false;
        const std::string folder = config + program_ + "/";
        bool written = true;
        for (const std::string& profile : Profiles(folder, sessionProfile_)) {
            std::set<std::string> files{qt_ ? "settings.conf" : "desktop-items-0.conf"};
            if (!qt_)
                if (DIR* entries = ::opendir((folder + profile).c_str())) {
                    while (const dirent* entry = ::readdir(entries))
                        if (std::string name = entry->d_name; name.starts_with("desktop-items-") && name.ends_with(".conf"))
                            files.insert(name);
                    ::closedir(entries);
                }
            for (const std::string& name : files) {
                DesktopSettingsFile settings = UserSettings(folder + profile + "/" + name,
                                                            "/etc/xdg/" + program_ + "/" + profile + "/" + name);
                bool set = true;
                if (qt_) {
                    set = settings.Set("Desktop", "WallpaperMode", picture.empty() ? "none" : PcmanfmQtFileMode(placement));
                    if (!picture.empty())
                        set = settings.Set("Desktop", "Wallpaper", picture) && set;
                } else {
                    set = settings.Set("*", "wallpaper_mode", picture.empty() ? "color" : PcmanfmMode(placement, false));
                    if (!picture.empty())
                        set = settings.Set("*", "wallpaper_common", "1") && settings.Set("*", "wallpaper", picture) && set;
                }
                written = set && settings.Save() && written;
            }
        }
        return written;
    }

    std::string program_;
    bool qt_;
    bool running_;
    std::string sessionProfile_;
};

class SwayBackend final : public DesktopBackend {
public:
    std::string Name() const override { return "sway"; }
    bool Apply(const WallpaperRequest& request) override
    {
        if (request.path.empty())
            return RunProgram({"swaymsg", "output * bg #000000 solid_color"});
        const std::string picture = PictureNameFor(request.path, NameReader::PlainWord);
        if (picture.empty())
            return false;
        return RunProgram({"swaymsg", "output * bg " + picture + " " + SwayMode(request.placement) + " #000000"});
    }
};

} // namespace

std::unique_ptr<DesktopBackend> NewPcmanfmBackend(bool running, const std::string& profile)
{
    return std::make_unique<PcmanfmBackend>("pcmanfm", false, running, profile);
}

std::unique_ptr<DesktopBackend> NewPcmanfmQtBackend(bool running, const std::string& profile)
{
    return std::make_unique<PcmanfmBackend>("pcmanfm-qt", true, running, profile);
}

std::unique_ptr<DesktopBackend> NewSwayBackend()
{
    return std::make_unique<SwayBackend>();
}

} // namespace vorlane
