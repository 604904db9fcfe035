// TWallPaper: knows the desktop's wallpaper file and whether it is tiled, sets a new wallpaper file, and
// switches between centred and tiled. It reads the desktop's settings from the current user's registry
// ("Control Panel\Desktop") once, when it is created, and later knows only what it set itself.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "component/Component.h"
#include "platform/RegistryIniFile.h"
#include "wallpaper/Desktop.h"

namespace vorlane {

// The wallpaper path is a length-prefixed string of at most 255 bytes; longer paths are cut.
inline constexpr size_t MaxWallPaperPath = 255;
// The recorded wallpaper that means "no wallpaper": full-width parentheses, in the system code page.
inline constexpr std::string_view NoWallPaperText = "（なし）";

// The first 255 bytes of `path`.
std::string ShortWallPaperPath(std::string_view path);

class TWallPaper : public TComponent {
public:
    // Opens "Control Panel" (creating it when missing) and reads the desktop's settings; a value of a
    // non-string type raises "'%s' のデータ型が不正です".
    explicit TWallPaper(TComponent* owner, Desktop& desktop = SystemDesktop());
    ~TWallPaper() override;

    std::string ClassName() const override { return "TWallPaper"; }

    // Makes the file the desktop wallpaper; the desktop call's outcome is not examined.
    void SetWallPaper(const std::string& path);
    // Switches tiling: nothing at all when `value` is the current one; otherwise records "TileWallPaper"
    // and has the desktop draw the wallpaper again. Registry failures raise, with Tile already changed.
    void SetTile(bool value);

    bool Tile() const { return tile_; }
    const std::string& WallPaperFile() const { return wallPaperFile_; }
    bool NoWallPaper() const { return noWallPaper_; }
    TRegIniFile& RegIni() { return *regIni_; }

private:
    void ReadDesktopSettings();
    void ApplyWallPaperFile();

    Desktop& desktop_;
    std::unique_ptr<TRegIniFile> regIni_;
    std::string wallPaperFile_;
    bool noWallPaper_ = false;
    bool tile_ = false;
};

} // namespace vorlane
