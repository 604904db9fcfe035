// What the main window's commands need of the toolkit that shows the window: its caption, message boxes,
// the wallpaper menu's check marks, its place on the screen, the progress of long work and a watch on
// the gallery file. Each front end (Qt, Windows) implements this once; the commands never see a widget.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/FolderLock.h"
#include "wallpaper/Placement.h"

namespace vorlane {

// A rectangle on the screen: the whole window, frame and title bar included, as the gallery stores
// it, or a monitor's area.
struct WindowRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;

    bool operator==(const WindowRect&) const = default;
};

// How far a long piece of work got, shown by the front end: after about a second, a progress dialog
// over the window (with a cancel button) that counts; meanwhile the window is drawn and takes no command.
class WorkProgress {
public:
    virtual ~WorkProgress() = default; // the dialog goes
    // `done` of the total are done. False once the user asked to stop.
    virtual bool Step(size_t done) = 0;
};

class MainWindowFrontEnd {
public:
    virtual ~MainWindowFrontEnd() = default;

    virtual void SetCaption(const std::string& caption) = 0;

    // Message boxes under the program's title with an OK button; they return once the user closed them.
    // `text` is complete (ErrorText.h made it); nothing is added.
    virtual void ShowNotice(const std::string& text) = 0; // information icon
    virtual void ShowError(const std::string& text) = 0;  // error icon
    // Another program held the gallery's lock for a moment (`text`, complete, says so and what each
    // answer does): a warning box with 中止 (GiveUp), 再試行 (Again) and 無視 (GoOn).
    virtual LockWait AskWhileBusy(const std::string& text) = 0;

    // The wallpaper menu's check marks: on the placement's item (PlacementItems), off the others.
    virtual void CheckWallpaperStyle(WallpaperPlacement placement) = 0;

    // The whole window, frame and title bar included, as the system places windows: read, and placed so
    // that its frame's top-left corner and outer size are `area` (the frame is learnt from the window
    // manager; without one, frame and client are one).
    virtual WindowRect WindowArea() const = 0;
    virtual void PlaceWindow(const WindowRect& area) = 0;
    // The areas of the monitors; empty when the front end knows of none.
    virtual std::vector<WindowRect> MonitorAreas() const = 0;
    // Bits per pixel of the screen, when there is one.
    virtual std::optional<int> ScreenBitsPerPixel() const = 0;

    // Starts showing the progress of work on `total` things, under the text `text`.
    virtual std::unique_ptr<WorkProgress> BeginProgress(const std::string& text, size_t total) = 0;

    // Replaces what was watched before: from now on a change on disk of the folder `folder`, or of `file`
    // (watched itself while it exists), is told to MainWindowCommands::GalleryFileChanged, run under the
    // front end's error handler. The folder's notice tells of a file replaced by a rename.
    virtual void WatchGalleryFile(const std::string& file, const std::string& folder) = 0;
};

} // namespace vorlane
