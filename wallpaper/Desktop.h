// The desktop's wallpaper calls: the system-parameter call that sets the wallpaper and the broadcast
// that tells every window a section of the settings changed. An interface, so tests can watch the calls.
#pragma once

#include <cstdint>

namespace vorlane {

class PictureRows;

inline constexpr uint32_t SPI_SETDESKWALLPAPER = 20;
inline constexpr uint32_t SPIF_UPDATEINIFILE = 1;    // record the setting in the user's registry
inline constexpr uint32_t SPIF_SENDWININICHANGE = 2; // tell every window

class Desktop {
public:
    virtual ~Desktop() = default;

    // SPI_SETDESKWALLPAPER with `param` the NUL-terminated path of a bitmap file; the empty path or
    // "（なし）" removes the wallpaper. False when the action is unknown or the wallpaper could not be
    // applied; callers that need not know may ignore it.
    virtual bool SystemParametersInfo(uint32_t action, uint32_t uiParam, const char* param, uint32_t winIni) = 0;

    // The settings-change broadcast for `section` (WM_WININICHANGE to every top-level window). Returns
    // once it has been handled.
    virtual void BroadcastSettingChange(const char* section) = 0;

    // Somewhere to draw the wallpaper from its rows while the caller writes its file, so that the next
    // SPI_SETDESKWALLPAPER of that very file need not read it back; nothing when no desktop of the session
    // draws the picture itself. Owned by the desktop; it lives until that call.
    virtual PictureRows* PrepareDrawing() { return nullptr; }
};

// This session's desktop. SPI_SETDESKWALLPAPER records "Wallpaper" under "Control Panel\Desktop" of the
// registry (with SPIF_UPDATEINIFILE) and applies the picture with the placement recorded in
// "TileWallPaper" and "WallpaperStyle" (wallpaper/Placement.h) through every desktop backend that applies
// to the session (wallpaper/DesktopBackend.h). The "Desktop" broadcast applies the recorded wallpaper
// again. Failures are quiet: the recorded values stay as set, and the call is true when at least one
// backend showed the picture.
Desktop& SystemDesktop();

} // namespace vorlane
