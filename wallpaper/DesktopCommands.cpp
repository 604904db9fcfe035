// Desktops that take the wallpaper through their own command: the running pcmanfm (LXDE) and
// pcmanfm-qt (LXQt) hand it to the instance that draws the desktop; swaymsg hands it to sway. pcmanfm
// writes the name raw into its settings file and sway expands it as words, so both get a plain name.
#include "wallpaper/Backends.h"
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

class PcmanfmBackend final : public DesktopBackend {
public:
    PcmanfmBackend(const char* program, bool qt) : program_(program), qt_(qt) {}
    std::string Name() const override { return program_; }
    bool Apply(const WallpaperRequest& request) override
    {
        if (request.path.empty())
            return RunProgram({program_, "--wallpaper-mode=color"});
        const std::string picture = PictureNameFor(request.path, NameReader::PlainWord);
        if (picture.empty())
            return false;
        return RunProgram({program_, "--set-wallpaper=" + picture,
                           std::string("--wallpaper-mode=") + PcmanfmMode(request.placement, qt_)});
    }

private:
    const char* program_;
    bool qt_;
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

std::unique_ptr<DesktopBackend> NewPcmanfmBackend()
{
    return std::make_unique<PcmanfmBackend>("pcmanfm", false);
}

std::unique_ptr<DesktopBackend> NewPcmanfmQtBackend()
{
    return std::make_unique<PcmanfmBackend>("pcmanfm-qt", true);
}

std::unique_ptr<DesktopBackend> NewSwayBackend()
{
    return std::make_unique<SwayBackend>();
}

} // namespace vorlane
