// The main window: tool bar, large-icon list, status bar, menus, the two open dialogs and the non-visual
// components, with the handlers the layout binds. Handlers stay short: the gallery, the wallpaper and
// the SSTP components do the work.
#pragma once

#include <memory>
#include <string>

#include <QMainWindow>

#include "app/DamagedGallery.h"
#include "app/Dialogs.h"
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
class TIniFile;
class TListView;
class TVorlane;
class TWallPaper;

// The fixed part of the caption; the gallery's file name follows it.
inline constexpr const char* CaptionPrefix = "Quorvel Vorlane  Ver1.6 ";

class TMainForm : public QMainWindow, public TComponent {
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
    TOpenDialog OpenImage;
    TWallPaper* WallPaper;
    TOpenDialog Opengsk;
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
    QMenu* s1;
    QAction* A1;
    QAction* B1;
    TFastSstp* FastSstp;

    // Life of the window.
    void FormCreate();
    void FormShow();
    void FormClose();
    void FormDestroy();
    void UpdateCaption();

    // Gallery commands.
    void OpenImageButtonClick();
    void G1Click();
    void ToolButton1Click();
    void D1Click();
    void ToolButton2Click();
    void L1Click();
    void N1Click();
    void R1Click();
    void A1Click();
    void B1Click();
    void ListViewDragDrop();

    // Wallpaper commands.
    void WallButtonClick();
    void X1Click();
    void KabeW1Click();
    void CentCClick();
    void TileVClick();

    // The gallery as it stands (for tests and benchmarks).
    const TVorlane& CurrentGallery() const { return *Gallery; }
    const DamagedGalleryGuard& DamagedGallery() const { return damaged_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateToolBar();
    void CreateMenus();
    // The gallery's load and save, with the damaged-file guard around them; after a save that had to
    // keep another program's version aside, the user is told which file holds what.
    void LoadGallery();
    void SaveGallery();
    // Follows the gallery file on disk: another program's save shows at once while the window has no
    // change of its own (otherwise the next save keeps both versions).
    void WatchGalleryFile();
    void GalleryFileChanged();
    // The stored geometry, moved onto the nearest monitor when no monitor would show the window's top.
    void ApplyStoredGeometry();

    DialogRunner& dialogs_;
    std::unique_ptr<TVorlane> Gallery;
    std::unique_ptr<TIniFile> IniFile;
    std::string StartManagerName;
    bool shown_ = false;
    bool closeFailed_ = false; // the last close could not save: the next one closes in any case
    DamagedGalleryGuard damaged_;
    QFileSystemWatcher* galleryWatcher_ = nullptr;
};

// The application's main window.
extern TMainForm* MainForm;

} // namespace vorlane
