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
#include "wallpaper/Placement.h"

namespace vorlane {

// The recorded wallpaper that means "no wallpaper": full-width parentheses, in the system code page.
inline constexpr std::string_view NoWallPaperText = "（なし）";

class TWallPaper : public TComponent {
public:
    // Opens "Control Panel" (creating it when missing) and reads the desktop's settings; a value of a
    // non-string type raises "'%s' のデータ型が不正です". The store is ours, so before raising, such a
    // value is put right (removed: its default holds), and the next creation succeeds.
    explicit TWallPaper(TComponent* owner, Desktop& desktop = SystemDesktop());
    ~TWallPaper() override;

    std::string ClassName() const override { return "TWallPaper"; }

    // Makes the file the desktop wallpaper; true when the desktop applied it (shows it, or holds it in
    // a desktop program's settings), false when it is only recorded. A path longer than the system
    // takes is refused (EPathTooLong, files::CheckPathLength) with nothing changed: a cut path would
    // name another file.
    bool SetWallPaper(const std::string& path);
    // Where a picture's rows may go while its wallpaper file is written (PrepareWallpaperFile), so the
    // desktop draws it without reading the file back; nothing when the desktop cannot take them.
    PictureRows* PrepareDrawing() { return desktop_.PrepareDrawing(); }
    // Switches tiling: nothing at all when `value` is the current one; otherwise records "TileWallPaper"
    // and has the desktop draw the wallpaper again. Registry failures raise, with Tile already changed;
    // so does a recorded wallpaper longer than the system takes (EPathTooLong), which is not drawn.
    void SetTile(bool value);

    // Switches the placement. Centred and tiled, while no scaled placement is recorded, are SetTile(false)
    // and SetTile(true) exactly. Otherwise "WallpaperStyle" is recorded (and "TileWallPaper" "0" for a
    // scaled one, which Windows needs to scale) and the desktop draws the wallpaper again; nothing at all
    // when `placement` is the current one. Registry failures raise as SetTile's do.
    void SetPlacement(WallpaperPlacement placement);
    // Records the placement as SetPlacement does, without drawing: for a wallpaper about to be set
    // anew. False when it was the current one already.
    bool RecordPlacement(WallpaperPlacement placement);

    bool Tile() const { return tile_; }
    WallpaperPlacement Placement() const { return PlacementOf(tile_, style_); }
    const std::string& WallPaperFile() const { return wallPaperFile_; }
    bool NoWallPaper() const { return noWallPaper_; }
    TRegIniFile& RegIni() { return *regIni_; }

private:
    void ReadDesktopSettings();
    void RemoveBrokenValue(const char* name);
    bool ApplyWallPaperFile();
    void RedrawWallPaper();

    Desktop& desktop_;
    std::unique_ptr<TRegIniFile> regIni_;
    std::string wallPaperFile_;
    bool noWallPaper_ = false;
    bool tile_ = false;
    int style_ = 0; // "WallpaperStyle"; 0 when it is missing or not a number
};

} // namespace vorlane
