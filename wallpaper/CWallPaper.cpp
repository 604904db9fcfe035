#include "wallpaper/CWallPaper.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vorlane {
namespace {

constexpr const char* DesktopSection = "Desktop";

// The desktop calls take their text in a 256-byte buffer, NUL-terminated.
std::array<char, MaxWallPaperPath + 1> CallBuffer(std::string_view text)
{
    std::array<char, MaxWallPaperPath + 1> buffer{};
    const size_t length = std::min(text.size(), MaxWallPaperPath);
    std::memcpy(buffer.data(), text.data(), length);
    return buffer;
}

} // namespace

std::string ShortWallPaperPath(std::string_view path)
{
    return std::string(path.substr(0, MaxWallPaperPath));
}

TWallPaper::TWallPaper(TComponent* owner, Desktop& desktop)
    : TComponent(owner), desktop_(desktop), regIni_(std::make_unique<TRegIniFile>("Control Panel"))
{
    ReadDesktopSettings();
}

TWallPaper::~TWallPaper() = default;

void TWallPaper::ReadDesktopSettings()
{
    tile_ = regIni_->ReadBool(DesktopSection, "TileWallPaper", false);
    wallPaperFile_ = ShortWallPaperPath(regIni_->ReadString(DesktopSection, "Wallpaper", std::string(NoWallPaperText)));
    noWallPaper_ = wallPaperFile_ == NoWallPaperText;
}

void TWallPaper::SetWallPaper(const std::string& path)
{
    wallPaperFile_ = ShortWallPaperPath(path);
    noWallPaper_ = wallPaperFile_ == NoWallPaperText;
    ApplyWallPaperFile();
}

void TWallPaper::SetTile(bool value)
{
    if (value == tile_)
        return;
    tile_ = value;
    regIni_->WriteBool(DesktopSection, "TileWallPaper", value);
    if (noWallPaper_) {
        const auto buffer = CallBuffer(DesktopSection);
        desktop_.BroadcastSettingChange(buffer.data());
    } else {
        // The desktop draws the same wallpaper again, now with the new tiling.
        ApplyWallPaperFile();
    }
}

void TWallPaper::ApplyWallPaperFile()
{
    const auto buffer = CallBuffer(wallPaperFile_);
    desktop_.SystemParametersInfo(SPI_SETDESKWALLPAPER, 0, buffer.data(), SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE);
}

} // namespace vorlane
