// Desktops that take the wallpaper through their own command: the running pcmanfm (LXDE) and
// pcmanfm-qt (LXQt) hand it to the instance that draws the desktop; swaymsg hands it to sway. pcmanfm
// writes the name raw into its settings file and sway expands it as words, so both get a plain name.
#include "wallpaper/Backends.h"
#include "wallpaper/PictureName.h"
#include "wallpaper/RunProgram.h"

namespace vorlane {
namespace {

class PcmanfmBackend final : public DesktopBackend {
public:
    explicit PcmanfmBackend(const char* program) : program_(program) {}
    std::string Name() const override { return program_; }
    bool Apply(const WallpaperRequest& request) override
    {
        if (request.path.empty())
            return RunProgram({program_, "--wallpaper-mode=color"});
        const std::string picture = PictureNameFor(request.path, NameReader::PlainWord);
        if (picture.empty())
            return false;
        return RunProgram({program_, "--set-wallpaper=" + picture,
                           request.tile ? "--wallpaper-mode=tile" : "--wallpaper-mode=center"});
    }

private:
    const char* program_;
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
        return RunProgram({"swaymsg", "output * bg " + picture +
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
