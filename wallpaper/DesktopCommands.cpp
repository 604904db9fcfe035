// Desktops that take the wallpaper through their own command: the running pcmanfm (LXDE) and
// pcmanfm-qt (LXQt) hand it to the instance that draws the desktop; swaymsg hands it to sway.
#include <filesystem>
#include <system_error>

#include "wallpaper/Backends.h"
#include "wallpaper/RunProgram.h"

namespace vorlane {
namespace {

std::string Absolute(const std::string& path)
{
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

class PcmanfmBackend final : public DesktopBackend {
public:
    explicit PcmanfmBackend(const char* program) : program_(program) {}
    std::string Name() const override { return program_; }
    bool Apply(const WallpaperRequest& request) override
    {
        if (request.path.empty())
            return RunProgram({program_, "--wallpaper-mode=color"});
        return RunProgram({program_, "--set-wallpaper=" + Absolute(request.path),
                           request.tile ? "--wallpaper-mode=tile" : "--wallpaper-mode=center"});
    }

private:
    const char* program_;
};

// A text in double quotes as sway's command parser reads it.
std::string SwayQuoted(const std::string& text)
{
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

class SwayBackend final : public DesktopBackend {
public:
    std::string Name() const override { return "sway"; }
    bool Apply(const WallpaperRequest& request) override
    {
        if (request.path.empty())
            return RunProgram({"swaymsg", "output * bg #000000 solid_color"});
        return RunProgram({"swaymsg", "output * bg " + SwayQuoted(Absolute(request.path)) +
                                          (request.tile ? " tile" : " center") + " #000000"});
    }
};

} // namespace

std::unique_ptr<DesktopBackend> NewPcmanfmBackend()
{
    return std::make_unique<PcmanfmBackend>("pcmanfm");
}

std::unique_ptr<DesktopBackend> NewPcmanfmQtBackend()
{
    return std::make_unique<PcmanfmBackend>("pcmanfm-qt");
}

std::unique_ptr<DesktopBackend> NewSwayBackend()
{
    return std::make_unique<SwayBackend>();
}

} // namespace vorlane
