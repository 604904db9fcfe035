// The main window's commands apart from any toolkit: what each handler does with the gallery, the
// settings file, the dialogs, the wallpaper and the announcement. A front end builds the widgets, binds
// each handler to one call here and runs it under its error handler: a command that fails raises the
// system's exception, which ends the command, and the front end shows its message (ErrorText.h).
#pragma once

#include <memory>
#include <string>

#include "app/DamagedGallery.h"
#include "app/Dialogs.h"

namespace vorlane {

class Desktop;
class GalleryView;
class MainWindowFrontEnd;
class TComponent;
class TFastSstp;
class TImageList;
class TIniFile;
class TVorlane;
class TWallPaper;

class MainWindowCommands {
public:
    // Creates the wallpaper component (which reads the desktop's settings from `desktop`) and then the
    // SSTP component, both owned by `window`; errors of their creation pass to the caller. The list
    // view, the placeholder image list and the dialogs are the front end's and outlive this object.
    MainWindowCommands(TComponent& window, MainWindowFrontEnd& frontEnd, GalleryView& listView,
                       TImageList& defaultImages, DialogRunner& dialogs, Desktop& desktop);
    ~MainWindowCommands();
    MainWindowCommands(const MainWindowCommands&) = delete;
    MainWindowCommands& operator=(const MainWindowCommands&) = delete;

    // The window's dialogs (settings and outcome; the DialogRunner shows them) and components.
    TOpenDialog OpenImage; // pictures, as OpenImageDesign sets it (MainWindowLayout.h)
    TOpenDialog Opengsk;   // galleries, as OpengskDesign sets it
    TWallPaper& WallPaper() const { return *wallPaper_; }
    TFastSstp& FastSstp() const { return *fastSstp_; }

    // The gallery as it stands (for tests and benchmarks).
    const TVorlane& Gallery() const { return *gallery_; }
    const DamagedGalleryGuard& DamagedGallery() const { return damaged_; }

    // Life of the window.
    void Create();    // creation: the gallery, the settings file, the name of the gallery to start with
    void FirstShow(); // first showing: the gallery loaded into the list, the stored place, the caption
    // Closing: the window's place goes into the gallery, which is saved. False when the window is to stay
    // open: the save failed and the error was shown, with how to close anyway (the next close closes
    // even when it cannot save either, so the user is never shut in).
    bool Close();
    void Destroy();       // destruction: the gallery's name written to the settings file
    void UpdateCaption(); // the caption at design, a space, then the gallery's file name

    // The window's handlers, under the names the layout (MainWindowLayout.h) binds to its buttons and
    // menu items; a menu item that does what a button does forwards to the button's handler.
    // Gallery commands.
    void OpenImageButtonClick(); // adds the chosen pictures, showing how far it got; the user may stop it
    void G1Click();
    void ToolButton1Click(); // removes the selected picture
    void D1Click();
    void ToolButton2Click(); // saves the current gallery, loads the chosen one
    void L1Click();
    void N1Click();          // a new gallery under a typed name
    void R1Click();          // renames the gallery
    void A1Click();          // names the gallery as the screen saver's
    void B1Click();          // releases the screen saver's gallery
    void ListViewDragDrop(); // a list item dropped on another

    // Wallpaper commands.
    void WallButtonClick(); // the selected picture as wallpaper, then the announcement
    void X1Click();
    void KabeW1Click(); // the wallpaper menu opens: its check marks
    void CentCClick();
    void TileVClick();
    void FillFClick();
    void FitTClick();
    void StretchSClick();
    void SpanPClick();

    // The watched gallery file changed on disk: another program's save shows at once while the window
    // has no change of its own (otherwise the next save keeps both versions).
    void GalleryFileChanged();

private:
    // The gallery's load and save, with the damaged-file guard around them; after a save that had to
    // keep another program's version aside, the user is told which file holds what.
    void LoadGallery();
    void SaveGallery();
    void WatchGalleryFile();
    // The stored place, moved onto the nearest monitor when no monitor would show the window's top.
    void PlaceStoredWindow();
    // After an add, ended in any way: a change of the gallery file on disk told meanwhile is looked at.
    void AfterAdding();

    MainWindowFrontEnd& frontEnd_;
    GalleryView& listView_;
    TImageList& defaultImages_;
    DialogRunner& dialogs_;
    TWallPaper* wallPaper_;
    TFastSstp* fastSstp_;
    std::unique_ptr<TVorlane> gallery_;
    std::unique_ptr<TIniFile> iniFile_;
    std::string startManagerName_;
    bool closeFailed_ = false; // the last close could not save: the next one closes in any case
    bool adding_ = false;      // pictures are being added; the window is drawn meanwhile
    bool changedWhileAdding_ = false;
    DamagedGalleryGuard damaged_;
};

} // namespace vorlane
