// What the main window's commands need of the toolkit that shows the window: its caption, message boxes,
// the wallpaper menu's check marks, its place on the screen and a watch on the gallery file. Each front
// end (Qt, Windows) implements this once; the commands never see a widget.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/FolderLock.h"
#include "wallpaper/Placement.h"

namespace vorlane {

// A rectangle on the screen: the window's client area as the gallery stores it, or a monitor's area.
struct WindowRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;

    bool operator==(const WindowRect&) const = default;
};

class MainWindowFrontEnd {
public:
    virtual ~MainWindowFrontEnd() = default;

    virtual void SetCaption(const std::string& caption) = 0;

    // Message boxes under the program's title with an OK button; they return once the user closed them.
    // `text` is complete (ErrorText.h made it); nothing is added.
    virtual void ShowNotice(const std::string& text) = 0;  // information icon
    virtual void ShowError(const std::string& text) = 0;   // error icon
    // Another program held the gallery's lock for a moment (`text`, complete, says so and what each
    // answer does): a warning box with 中止 (GiveUp), 再試行 (Again) and 無視 (GoOn).
    virtual LockWait AskWhileBusy(const std::string& text) = 0;

    // The wallpaper menu's check marks: on the placement's item (PlacementItems), off the others.
    virtual void CheckWallpaperStyle(WallpaperPlacement placement) = 0;

    // The window's client area (its frame is the window manager's), read and placed as it is.
    virtual WindowRect ClientArea() const = 0;
    virtual void PlaceClientArea(const WindowRect& area) = 0;
    // The areas of the monitors; empty when the front end knows of none.
    virtual std::vector<WindowRect> MonitorAreas() const = 0;
    // Bits per pixel of the screen, when there is one.
    virtual std::optional<int> ScreenBitsPerPixel() const = 0;

    // Replaces what was watched before: from now on a change on disk of the folder `folder`, or of `file`
    // (watched itself while it exists), is told to MainWindowCommands::GalleryFileChanged, run under the
    // front end's error handler. The folder's notice tells of a file replaced by a rename.
    virtual void WatchGalleryFile(const std::string& file, const std::string& folder) = 0;
};

} // namespace vorlane
