// Desktops that take the wallpaper through their own command: the running pcmanfm (LXDE) and
// pcmanfm-qt (LXQt) hand it to the instance that draws the desktop; swaymsg hands it to sway. pcmanfm
// writes the name raw into its settings file and sway expands it as words, so both get a plain name.
// While pcmanfm or pcmanfm-qt is not running, their settings files, which they read when they start,
// receive the picture instead.
#include <json-glib/json-glib.h>

#include <filesystem>
#include <set>
#include <system_error>

#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "wallpaper/Backends.h"
#include "wallpaper/DesktopSettingsFile.h"
#include "wallpaper/PictureName.h"
#include "wallpaper/TilingPicture.h"

namespace vorlane {
namespace {

// The --wallpaper-mode of each placement. pcmanfm's "screen" stretches one picture over all monitors.
// pcmanfm-qt's command takes none that fills ("zoom" is only in its settings file, which it reads when
// it starts) and none across monitors: the nearest that keeps the proportions is "fit".
const char* PcmanfmMode(WallpaperPlacement placement, bool qt)
{
    switch (placement) {
    case WallpaperPlacement::Tiled:
        return "tile";
    case WallpaperPlacement::Fill:
        return qt ? "fit" : "crop";
    case WallpaperPlacement::Fit:
        return "fit";
    case WallpaperPlacement::Stretch:
        return "stretch";
    case WallpaperPlacement::Span:
        return qt ? "fit" : "screen";
    default:
        return "center";
    }
}

// The mode pcmanfm-qt's settings file names ("WallpaperMode"), which unlike its command has "zoom".
const char* PcmanfmQtFileMode(WallpaperPlacement placement)
{
    switch (placement) {
    case WallpaperPlacement::Fill:
    case WallpaperPlacement::Span:
        return "zoom";
    default:
        return PcmanfmMode(placement, true);
    }
}

// The profiles of the program's settings folder (<config>/pcmanfm/LXDE/, ...) and the one the session
// starts it with, which may not be there yet.
std::set<std::string> Profiles(const std::string& folder, const std::string& sessionProfile)
{
    std::set<std::string> profiles{sessionProfile};
    for (const std::string& name : files::FolderEntries(folder))
        if (files::KindOf(folder + name) == files::Kind::Folder)
            profiles.insert(name);
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
        : program_(program),
          qt_(qt),
          running_(running),
          sessionProfile_(std::move(sessionProfile))
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
            return process::Run({program_, "--wallpaper-mode=color"});
        return process::Run({program_, "--set-wallpaper=" + picture,
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
                for (const std::string& name : vorlane::files::FolderEntries(folder + profile))
                    if (name.starts_with("desktop-items-") && name.ends_with(".conf"))
                        files.insert(name);
            for (const std::string& name : files) {
                DesktopSettingsFile settings =
                    UserSettings(folder + profile + "/" + name, "/etc/xdg/" + program_ + "/" + profile + "/" + name);
                bool set = true;
                if (qt_) {
                    set = settings.Set("Desktop", "WallpaperMode",
                                       picture.empty() ? "none" : PcmanfmQtFileMode(placement));
                    if (!picture.empty())
                        set = settings.Set("Desktop", "Wallpaper", picture) && set;
                } else {
                    set =
                        settings.Set("*", "wallpaper_mode", picture.empty() ? "color" : PcmanfmMode(placement, false));
                    if (!picture.empty())
                        set = settings.Set("*", "wallpaper_common", "1") && settings.Set("*", "wallpaper", picture) &&
                              set;
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

struct SwayOutput {
    std::string name;
    PixelRect rect; // in the layout's coordinates
};

// sway's active outputs (`swaymsg -t get_outputs`); none when it does not answer.
std::vector<SwayOutput> SwayOutputs()
{
    std::string json;
    std::vector<SwayOutput> outputs;
    if (!process::Run({"swaymsg", "-t", "get_outputs", "-r"}, 5000, &json))
        return outputs;
    JsonParser* parser = json_parser_new();
    if (json_parser_load_from_data(parser, json.data(), gssize(json.size()), nullptr)) {
        JsonNode* root = json_parser_get_root(parser);
        JsonArray* list = root && JSON_NODE_HOLDS_ARRAY(root) ? json_node_get_array(root) : nullptr;
        for (guint i = 0; list && i < json_array_get_length(list); ++i) {
            JsonNode* node = json_array_get_element(list, i);
            JsonObject* output = JSON_NODE_HOLDS_OBJECT(node) ? json_node_get_object(node) : nullptr;
            JsonNode* rectNode = output ? json_object_get_member(output, "rect") : nullptr;
            if (!output || !rectNode || !JSON_NODE_HOLDS_OBJECT(rectNode) ||
                !json_object_get_boolean_member_with_default(output, "active", FALSE))
                continue;
            JsonObject* rect = json_node_get_object(rectNode);
            const auto number = [&](const char* key) {
                return int(json_object_get_int_member_with_default(rect, key, 0));
            };
            outputs.push_back({json_object_get_string_member_with_default(output, "name", ""),
                               {number("x"), number("y"), number("width"), number("height")}});
        }
    }
    g_object_unref(parser);
    return outputs;
}

class SwayBackend final : public DesktopBackend {
public:
    std::string Name() const override { return "sway"; }
    bool Apply(const WallpaperRequest& request) override
    {
        if (request.path.empty())
            return process::Run({"swaymsg", "output * bg #000000 solid_color"});
        const std::string picture = PictureNameFor(request.path, NameReader::PlainWord);
        if (picture.empty())
            return false;
        if (request.placement == WallpaperPlacement::Tiled)
            if (const auto commands = TilingCommands(picture); !commands.empty()) {
                bool applied = true;
                for (const std::string& command : commands)
                    applied = process::Run({"swaymsg", command}) && applied;
                return applied;
            }
        return process::Run({"swaymsg", "output * bg " + picture + " " + SwayMode(request.placement) + " #000000"});
    }

private:
    // sway starts the tiling anew on each output: with more than one, each is shown the picture of the
    // tiling drawn from the layout's top-left corner, the output's size (TilingPicture.h), centred. None
    // when an output's name or a picture cannot be had: sway then tiles on its own.
    static std::vector<std::string> TilingCommands(const std::string& picture)
    {
        const auto outputs = SwayOutputs();
        std::vector<std::string> commands, written;
        for (const SwayOutput& output : outputs) {
            const std::string tiling = outputs.size() > 1 && NameHolds(output.name, NameReader::PlainWord)
                                           ? WriteTilingPicture(picture, output.rect, written)
                                           : std::string();
            if (output.name.empty() || tiling.empty())
                return {};
            written.push_back(tiling);
            commands.push_back("output " + output.name + " bg " + tiling + " center #000000");
        }
        return commands;
    }
};

} // namespace

const char* SwayMode(WallpaperPlacement placement)
{
    switch (placement) {
    case WallpaperPlacement::Tiled:
        return "tile";
    case WallpaperPlacement::Fill:
    case WallpaperPlacement::Span:
        return "fill";
    case WallpaperPlacement::Fit:
        return "fit";
    case WallpaperPlacement::Stretch:
        return "stretch";
    default:
        return "center";
    }
}

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
