#include "wallpaper/CWallPaper.h"

#include <algorithm>

#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"

namespace vorlane {
namespace {

constexpr const char* DesktopSection = "Desktop";

} // namespace

TWallPaper::TWallPaper(TComponent* owner, Desktop& desktop)
    : TComponent(owner),
      desktop_(desktop),
      regIni_(std::make_unique<TRegIniFile>("Control Panel"))
{
    ReadDesktopSettings();
}

TWallPaper::~TWallPaper() = default;

void TWallPaper::ReadDesktopSettings()
{
    try {
        tile_ = regIni_->ReadBool(DesktopSection, "TileWallPaper", false);
    } catch (const ERegistryException&) {
        RemoveBrokenValue("TileWallPaper");
        throw;
    }
    try {
        // Kept whole, whatever its length: cut, it would name another file, which a later redraw would
        // record.
        wallPaperFile_ = regIni_->ReadString(DesktopSection, "Wallpaper", std::string(NoWallPaperText));
    } catch (const ERegistryException&) {
        RemoveBrokenValue("Wallpaper");
        throw;
    }
    noWallPaper_ = wallPaperFile_ == NoWallPaperText;
    // Only the placements beyond centred and tiled read it: a value of another type is none of them, and
    // stops nothing.
    try {
        style_ = regIni_->ReadInteger(DesktopSection, "WallpaperStyle", 0);
    } catch (const ERegistryException&) {
        style_ = 0;
    }
}

// A value that is not a string would stop every start of the program: it goes, and reading it next time
// gives its default. Only a value of the wrong type is removed, not one that merely could not be read.
void TWallPaper::RemoveBrokenValue(const char* name)
{
    const auto key = registry::OpenKey(registry::Root, std::string(regIni_->FileName()) + "\\" + DesktopSection);
    uint32_t type = REG_NONE;
    size_t size = 0;
    if (key && registry::QueryValueInfo(*key, name, type, size) == registry::Result::Ok && type != REG_SZ &&
        type != REG_EXPAND_SZ)
        registry::DeleteValue(*key, name);
}

bool TWallPaper::SetWallPaper(const std::string& path)
{
    files::CheckPathLength(path);
    wallPaperFile_ = path;
    noWallPaper_ = wallPaperFile_ == NoWallPaperText;
    return ApplyWallPaperFile();
}

void TWallPaper::SetTile(bool value)
{
    if (value == tile_)
        return;
    tile_ = value;
    regIni_->WriteBool(DesktopSection, "TileWallPaper", value);
    RedrawWallPaper();
}

void TWallPaper::SetPlacement(WallpaperPlacement placement)
{
    if (RecordPlacement(placement))
        RedrawWallPaper();
}

bool TWallPaper::RecordPlacement(WallpaperPlacement placement)
{
    if (placement == Placement())
        return false;
    const bool tile = placement == WallpaperPlacement::Tiled;
    // Between centred and tiled only "TileWallPaper" changes, as SetTile writes it, unless a scaled
    // style is recorded: under tiling it would come back with centring, so it goes.
    if (IsScaled(placement) || IsScaled(PlacementOf(false, style_))) {
        const int style = WallpaperStyleOf(placement);
        if (style != style_) {
            style_ = style;
            regIni_->WriteInteger(DesktopSection, "WallpaperStyle", style);
        }
    }
    if (tile != tile_) {
        tile_ = tile;
        regIni_->WriteBool(DesktopSection, "TileWallPaper", tile);
    }
    return true;
}

void TWallPaper::RedrawWallPaper()
{
    if (noWallPaper_) {
        desktop_.BroadcastSettingChange(DesktopSection);
    } else {
        // The desktop draws the same wallpaper again, now placed anew.
        ApplyWallPaperFile();
    }
}

bool TWallPaper::ApplyWallPaperFile()
{
    files::CheckPathLength(wallPaperFile_);
    return desktop_.SystemParametersInfo(SPI_SETDESKWALLPAPER, 0, wallPaperFile_.c_str(),
                                         SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE);
}

} // namespace vorlane
