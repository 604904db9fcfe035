// The main window on the common controls: tool bar, large-icon list, status bar and menus, with each
// handler bound to one call of the window's commands. The window is the commands' front end: caption,
// message boxes, check marks, its place on the screen and the watch on the gallery file.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/MainWindowFrontEnd.h"
#include "app/win32/MainMenu.h"
#include "component/Component.h"

namespace vorlane {

class Desktop;
class DialogRunner;
class MainWindowCommands;
class TImageList;
class TListViewControl;
class TToolBar;

class TMainForm final : public TComponent, public MainWindowFrontEnd {
public:
    // Creates the window and its components in layout order, then runs the creation handler. Errors of
    // the components' creation pass to the caller.
    TMainForm(DialogRunner& dialogs, Desktop& desktop);
    // Runs the destruction handler when the window still exists; the components go with the window.
    ~TMainForm() override;
    std::string ClassName() const override { return "TMainForm"; }

    HWND Handle() const { return hwnd_; }

    // The layout, in creation order.
    std::unique_ptr<TToolBar> ToolBar1;
    std::unique_ptr<TListViewControl> ListView;
    HWND StatusBar1 = nullptr;
    TImageList* DefaultImageList = nullptr;
    TImageList* ButtonImageList = nullptr;
    TMainMenu MainMenu1{};

    // MainWindowFrontEnd
    void SetCaption(const std::string& caption) override;
    void ShowNotice(const std::string& text) override;
    void ShowError(const std::string& text) override;
    LockWait AskWhileBusy(const std::string& text) override;
    void CheckWallpaperStyle(WallpaperPlacement placement) override;
    WindowRect WindowArea() const override;
    void PlaceWindow(const WindowRect& area) override;
    std::vector<WindowRect> MonitorAreas() const override;
    std::optional<int> ScreenBitsPerPixel() const override;
    void WatchGalleryFile(const std::string& file, const std::string& folder) override;
    std::unique_ptr<WorkProgress> BeginProgress(const std::string& text, size_t total) override;

    // The change notice of the watched gallery folder, for the message loop to wait on (none when
    // nothing is watched), and what it calls once the notice is signalled.
    HANDLE GalleryWatch() const { return watch_; }
    void GalleryWatchSignalled();

    // The window procedure of the window's class.
    LRESULT Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    // The controls and components in layout order; the window exists.
    void CreateComponents(DialogRunner& dialogs, Desktop& desktop);
    // Runs a command of the layout under Run; nothing for none.
    void RunCommand(MainWindowCommand command);
    void Layout();
    // Runs one handler: an exception that escapes it ends the handler, and its message is shown.
    template <class F>
    void Run(F&& handler);
    void StopWatching();

    HWND hwnd_ = nullptr;
    std::unique_ptr<MainWindowCommands> commands_;
    bool shown_ = false;
    std::string pendingError_; // the first showing's error, shown once the window is up
    HANDLE watch_ = nullptr;
};

// The application's main window.
extern TMainForm* MainForm;

} // namespace vorlane
