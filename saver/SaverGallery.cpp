#include "saver/SaverGallery.h"

#include <filesystem>

#include "component/ComponentReader.h"
#include "component/Stream.h"
#include "gallery/CurrentGallery.h"
#include "gallery/Vorlane1.h"
#include "platform/CodePage.h"
#include "platform/DisplayName.h"
#include "platform/Exceptions.h"
#include "platform/Path.h"
#include "platform/Profile.h"
#include "wallpaper/CWallPaper.h"

namespace vorlane::saver {
namespace {

constexpr const char* IniSection = "Initial";

// Shown on the screen, in both languages: the gallery's name, then (for an unreadable one) the reason.
constexpr const char* MissingText = "画集 %s がありません (gallery not found)";
constexpr const char* EmptyText = "画集 %s には画像がありません (the gallery has no pictures)";
constexpr const char* UnreadableText = "画集 %s を読めません (cannot read the gallery): %s";
constexpr const char* NothingShownPattern = "画集 %s の画像はどれも表示できません (none of its pictures can be shown)";

std::string Shown(const std::string& name)
{
    return codepage::DisplayText(display::FileName(name));
}

} // namespace

std::string SaverGalleryName()
{
    const TIniFile settings(SettingsFileName);
    std::string name = settings.ReadString(IniSection, "Saver", "");
    if (name.empty() || name == "Default")
        name = settings.ReadString(IniSection, "Manager", path::ProgramFolder() + "画集");
    return StartGalleryName(name);
}

SaverGallery ReadSaverGallery()
{
    SaverGallery result;
    result.name = SaverGalleryName();
    TVorlane gallery;
    gallery.SetManagerName(result.name);
    const std::string file = gallery.GalleryFileName();
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        result.problem = Format(MissingText, Shown(result.name).c_str());
        return result;
    }
    try {
        TFileStream stream(file, TFileStream::Mode::OpenRead);
        ComponentReader(stream).ReadComponent(gallery); // the names; the thumbnails that follow are not needed
    } catch (const Exception& failure) {
        result.problem = Format(UnreadableText, Shown(result.name).c_str(), failure.what());
        return result;
    }
    for (int i = 0; i < gallery.FileNames().Count(); ++i)
        result.pictures.push_back(gallery.FileNames().Get(i));
    if (result.pictures.empty())
        result.problem = Format(EmptyText, Shown(result.name).c_str());
    return result;
}

WallpaperPlacement SaverPlacement(const std::function<void(const std::string& line)>& report)
{
    WallpaperPlacement placement = WallpaperPlacement::Centred;
    try {
        placement = TWallPaper(nullptr).Placement();
    } catch (const Exception& error) {
        report(std::string("the recorded wallpaper settings are damaged: ") + error.what());
    }
    return placement == WallpaperPlacement::Tiled ? WallpaperPlacement::Fit : placement;
}

std::string NothingShownText(const std::string& galleryName)
{
    return Format(NothingShownPattern, Shown(galleryName).c_str());
}

} // namespace vorlane::saver
