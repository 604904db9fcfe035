// The main window under Qt: tool bar, large-icon list, status bar, menus and the dialogs, with the
// handlers the layout binds. Each handler forwards to the toolkit-free commands (app/MainWindowCommands.h);
// this window only builds the widgets and answers what the commands ask of it.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include <QMainWindow>

#include "app/MainWindowCommands.h"
#include "app/MainWindowFrontEnd.h"
#include "app/MainWindowLayout.h"
#include "component/Component.h"
#include "wallpaper/Desktop.h"

class QAction;
class QFileSystemWatcher;
class QMenu;
class QMenuBar;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace vorlane {

class TFastSstp;
class TImageList;
class TListView;
class TVorlane;
class TWallPaper;

class FrameExtentsWatch;

class TMainForm : public QMainWindow, public TComponent, private MainWindowFrontEnd {
public:
    // Creates the components in layout order, then runs FormCreate. Dialogs are shown through `dialogs`;
    // the wallpaper component talks to `desktop`. Errors of the components' creation pass to the caller.
    explicit TMainForm(DialogRunner& dialogs, Desktop& desktop = SystemDesktop(), QWidget* parent = nullptr);
    // Runs FormDestroy; the components go with the window.
    ~TMainForm() override;
    std::string ClassName() const override { return "TMainForm"; }

    // The layout, in creation order.
    QToolBar* ToolBar1;
    QToolButton* OpenImageButton;
    QToolButton* WallButton;
    QToolButton* ToolButton1;
    QToolButton* ToolButton2;
    TListView* ListView;
    QStatusBar* StatusBar1;
    TImageList* DefaultImageList;
    TImageList* ButtonImageList;
    TOpenDialog& OpenImage() { return commands_->OpenImage; }
    TWallPaper* WallPaper;
    TOpenDialog& Opengsk() { return commands_->Opengsk; }
    QMenuBar* MainMenu1;
    QMenu* F1;
    QAction* N1;
    QAction* L1;
    QAction* R1;
    QAction* G1;
    QAction* D1;
    QMenu* KabeW1;
    QAction* X1;
    QAction* N2;
    QAction* CentC;
    QAction* TileV;
    QAction* N3;
    QAction* FillF;
    QAction* FitT;
    QAction* StretchS;
    QAction* SpanP;
    QMenu* s1;
    QAction* A1;
    QAction* B1;
    TFastSstp* FastSstp;

    // Life of the window.
    void FormCreate();
    void FormShow();
    // True when the window may close (see MainWindowCommands::Close).
    bool FormClose();
    void FormDestroy();
    void UpdateCaption();

    // How long work goes on before its progress dialog opens.
    std::chrono::milliseconds ProgressDelay{1000};

    // The gallery as it stands (for tests and benchmarks).
    const TVorlane& CurrentGallery() const { return commands_->Gallery(); }
    const DamagedGalleryGuard& DamagedGallery() const { return commands_->DamagedGallery(); }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The tool bar and the menus, built from the layout (app/MainWindowLayout.h).
    void CreateToolBar();
    void CreateMenus();
    // Runs a command of the layout under the error handler.
    void Run(MainWindowCommand command);

    // What the commands ask of the window.
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
    // Sizes and moves the window so that its frame, as the window manager reports it now, is `area`.
    void FitFrame(const WindowRect& area);
    void Framed();

    std::unique_ptr<MainWindowCommands> commands_;
    // The place asked for before the window was on the screen: its frame is known only once the window
    // manager has framed it, and the window is fitted again then (FrameExtents.h).
    std::optional<WindowRect> placing_;
    std::unique_ptr<FrameExtentsWatch> frameWatch_;
    int fits_ = 0; // fits since the frame's size is known
    bool shown_ = false;
    QFileSystemWatcher* galleryWatcher_ = nullptr;
};

// The application's main window.
extern TMainForm* MainForm;

} // namespace vorlane
