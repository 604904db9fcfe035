#include "app/MainWindowCommands.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <utility>

#include "app/ErrorText.h"
#include "app/MainWindowFrontEnd.h"
#include "app/MainWindowLayout.h"
#include "gallery/CurrentGallery.h"
#include "gallery/ImageList.h"
#include "gallery/View.h"
#include "gallery/Vorlane1.h"
#include "image/PictureFile.h"
#include "platform/CodePage.h"
#include "platform/DisplayName.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/Profile.h"
#include "sstp/FastSstp.h"
#include "sstp/WallpaperAnnouncement.h"
#include "wallpaper/CWallPaper.h"
#include "wallpaper/WallpaperFile.h"

namespace vorlane {
namespace {

constexpr const char* IniSection = "Initial";
constexpr const char* ManagerKey = "Manager"; // the current gallery
constexpr const char* SaverKey = "Saver";     // the screen saver's gallery
constexpr const char* DefaultGalleryName = "画集";
// Said after a save that found another program's version of the gallery file: the gallery file (twice),
// then where the other version is now.
constexpr const char* VersionsKeptText =
    "画集 %s は、開いている間に他のプログラムが書き換えていました。この画面の画集を %s に保存し、"
    "他のプログラムが保存した画集は %s に残しました。";
// Asked when another program of the user held the gallery's lock for a moment: the gallery file.
constexpr const char* GalleryBusyText =
    "画集 %s は、他のプログラムが保存しています。\n\n"
    "再試行: もう少し待ちます。\n"
    "無視: 待たずに続けます (他のプログラムと同時に保存した画集は、両方とも残します)。\n"
    "中止: この操作をやめます。";
// Shown while pictures are added.
constexpr const char* AddingPicturesText = "画像を読み込んでいます";
// The user stopped an add: the pictures added so far stay, as when a picture fails.
struct AddCancelled {};

// Added to the error of a close that could not save.
constexpr const char* CloseAgainHint = "保存せずに閉じるには、もう一度閉じてください。";

// A stored width or height is applied as it is, but no bigger than this: a damaged gallery file must not
// make the window ask for gigabytes of backing store.
constexpr int MaxWindowSide = 8192;

#ifndef NAME_MAX
constexpr size_t NAME_MAX = 255; // the longest file name the Windows file systems take
#endif

// A picture that is not here (an entry of a gallery made on Windows that was not yet relinked, a file
// since removed) ends the command with the open error, naming it as the user reads it, before anything
// reaches the desktop: a missing bitmap would otherwise be handed on unchecked and announced.
std::unique_ptr<std::FILE, FileCloser> OpenPicture(const std::string& picture)
{
    try {
        return OpenPictureFile(picture);
    } catch (const EFOpenError&) {
        throw EFOpenError(Format(msg::FOpenError, codepage::DisplayText(picture).c_str()));
    }
}

// The gallery name typed in the name dialog, refused when no file of that name can exist in the
// program folder (a separator would name another folder; a name must fit the file system's limit, the
// whole path the system's): otherwise every later save, and so every close, would fail.
std::string GalleryName(const std::string& typed)
{
    const std::string name = path::ProgramFolder() + typed;
    const std::string fileName = path::ExtractFileName(path::ChangeFileExt(name, ".gsk"));
    const bool namesFolder = path::ExtractFileName(typed) != typed; // by characters: no trailing byte counts
    if (namesFolder || fileName.size() > NAME_MAX)
        throw EFCreateError(Format(msg::FCreateError, (name + ".gsk").c_str()));
    files::CheckPathLength(path::ChangeFileExt(name, ".gsk"));
    return name;
}

// Pixel rules of a screen rectangle: its last column is Left + Width - 1.
int RightOf(const WindowRect& area)
{
    return area.Left + area.Width - 1;
}

int BottomOf(const WindowRect& area)
{
    return area.Top + area.Height - 1;
}

struct ScreenPoint {
    int x;
    int y;
};

// The point of a window that stands for its top: in its title bar, near its left end.
ScreenPoint TopOf(const WindowRect& window)
{
    return {window.Left + std::min(window.Width / 2, 50), window.Top + 5};
}

bool Contains(const WindowRect& area, ScreenPoint point)
{
    return point.x >= area.Left && point.x <= RightOf(area) && point.y >= area.Top && point.y <= BottomOf(area);
}

// A window is shown where its top (title bar and menus) lies on some monitor.
bool TopIsShown(const WindowRect& window, const std::vector<WindowRect>& monitors)
{
    return monitors.empty() || std::any_of(monitors.begin(), monitors.end(),
                                           [&](const WindowRect& area) { return Contains(area, TopOf(window)); });
}

// `window` moved, at its size, onto the monitor nearest to its top.
WindowRect OntoNearestMonitor(const WindowRect& window, const std::vector<WindowRect>& monitors)
{
    const ScreenPoint top = TopOf(window);
    WindowRect best;
    long bestDistance = -1;
    for (const WindowRect& area : monitors) {
        const long dx = top.x < area.Left ? area.Left - top.x : std::max(0, top.x - RightOf(area));
        const long dy = top.y < area.Top ? area.Top - top.y : std::max(0, top.y - BottomOf(area));
        if (bestDistance < 0 || dx + dy < bestDistance) {
            bestDistance = dx + dy;
            best = area;
        }
    }
    const int left = std::clamp(window.Left, best.Left, std::max(best.Left, RightOf(best) + 1 - window.Width));
    const int top_ = std::clamp(window.Top, best.Top, std::max(best.Top, BottomOf(best) + 1 - window.Height));
    return {left, top_, window.Width, window.Height};
}

} // namespace

MainWindowCommands::MainWindowCommands(TComponent& window, MainWindowFrontEnd& frontEnd, GalleryView& listView,
                                       TImageList& defaultImages, DialogRunner& dialogs, Desktop& desktop)
    : OpenImage(OpenImageDesign),
      Opengsk(OpengskDesign),
      frontEnd_(frontEnd),
      listView_(listView),
      defaultImages_(defaultImages),
      dialogs_(dialogs)
{
    wallPaper_ = new TWallPaper(&window, desktop);
    wallPaper_->SetName("WallPaper");
    fastSstp_ = CreateMainWindowFastSstp(&window);
}

MainWindowCommands::~MainWindowCommands()
{
    if (gallery_)
        gallery_->SetView(nullptr);
    listView_.SetLargeImages(nullptr);
}

void MainWindowCommands::Create()
{
    gallery_ = std::make_unique<TVorlane>();
    gallery_->SetLockAsk(
        [this](const std::string& file) { return frontEnd_.AskWhileBusy(Format(GalleryBusyText, file.c_str())); });
    if (const std::optional<int> bitsPerPixel = frontEnd_.ScreenBitsPerPixel())
        gallery_->SetDisplayBitsPerPixel(*bitsPerPixel);
    iniFile_ = std::make_unique<TIniFile>(SettingsFileName);
    startManagerName_ =
        StartGalleryName(iniFile_->ReadString(IniSection, ManagerKey, path::ProgramFolder() + DefaultGalleryName));
}

void MainWindowCommands::FirstShow()
{
    gallery_->SetDefaultImages(defaultImages_);
    gallery_->SetView(&listView_);
    gallery_->SetManagerName(startManagerName_);
    LoadGallery();
    PlaceStoredWindow();
    OpenImage.InitialDir = gallery_->InitialDir();
    UpdateCaption();
}

// The whole window, frame included, is what is stored and restored: the frame's top-left corner is the
// stored place, so a first start shows the title bar at the screen's corner. Storing one rectangle
// while restoring another would move the window by the frame's size at every session.
void MainWindowCommands::PlaceStoredWindow()
{
    WindowRect stored{gallery_->FormLeft(), gallery_->FormTop(), std::clamp(gallery_->FormWidth(), 1, MaxWindowSide),
                      std::clamp(gallery_->FormHeight(), 1, MaxWindowSide)};
    const std::vector<WindowRect> monitors = frontEnd_.MonitorAreas();
    if (!TopIsShown(stored, monitors))
        stored = OntoNearestMonitor(stored, monitors);
    frontEnd_.PlaceWindow(stored);
}

bool MainWindowCommands::Close()
{
    if (adding_)
        return false; // the add in progress ends first (its dialog can stop it)
    try {
        const WindowRect window = frontEnd_.WindowArea();
        gallery_->SetFormTop(window.Top);
        gallery_->SetFormLeft(window.Left);
        gallery_->SetFormWidth(window.Width);
        gallery_->SetFormHeight(window.Height);
        SaveGallery();
        return true;
    } catch (const std::exception& error) {
        if (closeFailed_)
            return true;
        closeFailed_ = true;
        frontEnd_.ShowError(ErrorBoxText(error, CloseAgainHint));
        return false;
    }
}

void MainWindowCommands::Destroy()
{
    if (!iniFile_ || !gallery_)
        return; // Create did not get that far
    iniFile_->WriteString(IniSection, ManagerKey, gallery_->ManagerName());
}

void MainWindowCommands::UpdateCaption()
{
    frontEnd_.SetCaption(std::string(DesignCaption) + " " + display::FileName(gallery_->StoredManagerName()));
}

void MainWindowCommands::LoadGallery()
{
    const std::string file = gallery_->GalleryFileName();
    try {
        gallery_->LoadGallery();
    } catch (...) {
        damaged_.LoadFailed(file);
        WatchGalleryFile();
        throw;
    }
    WatchGalleryFile();
}

void MainWindowCommands::SaveGallery()
{
    damaged_.BeforeSave(gallery_->GalleryFileName());
    gallery_->SaveGallery();
    closeFailed_ = false;
    WatchGalleryFile();
    if (const std::optional<std::string>& aside = gallery_->KeptAside())
        frontEnd_.ShowNotice(Format(VersionsKeptText, gallery_->GalleryFileName().c_str(),
                                    gallery_->GalleryFileName().c_str(), aside->c_str()));
}

void MainWindowCommands::WatchGalleryFile()
{
    const std::string file = gallery_->GalleryFileName();
    const std::string folder = path::ExtractFileDir(file);
    frontEnd_.WatchGalleryFile(file, folder.empty() ? "." : folder);
}

void MainWindowCommands::GalleryFileChanged()
{
    if (adding_) { // looked at once the add is over (or with the next notice, if it fails)
        changedWhileAdding_ = true;
        return;
    }
    if (gallery_->ReloadIfChanged())
        UpdateCaption();
    WatchGalleryFile();
}

void MainWindowCommands::OpenImageButtonClick()
{
    if (!dialogs_.Execute(OpenImage))
        return;
    bool cancelled = false;
    {
        const std::unique_ptr<WorkProgress> progress =
            frontEnd_.BeginProgress(AddingPicturesText, OpenImage.Files.size());
        struct Adding {
            bool& flag;
            explicit Adding(bool& f) : flag(f) { flag = true; }
            ~Adding() { flag = false; }
        } adding(adding_);
        try {
            gallery_->AddImages(OpenImage.Files, 0, [&](size_t added) {
                if (!progress->Step(added))
                    throw AddCancelled();
            });
        } catch (const AddCancelled&) {
            cancelled = true;
        }
    }
    // A failed add ends above; one the user stopped shows what it added and keeps InitialDir, as after
    // a picture that fails.
    if (cancelled)
        gallery_->RefreshView();
    else
        gallery_->SetInitialDir(path::ExtractFileDir(OpenImage.FileName));
    AfterAdding();
}

void MainWindowCommands::AfterAdding()
{
    if (std::exchange(changedWhileAdding_, false))
        GalleryFileChanged();
}

void MainWindowCommands::G1Click()
{
    OpenImageButtonClick();
}

void MainWindowCommands::ToolButton1Click()
{
    gallery_->DeleteSelected();
}

void MainWindowCommands::D1Click()
{
    ToolButton1Click();
}

void MainWindowCommands::ToolButton2Click()
{
    Opengsk.InitialDir = path::ProgramFolder();
    if (!dialogs_.Execute(Opengsk))
        return;
    files::CheckPathLength(path::ChangeFileExt(Opengsk.FileName, ".gsk"));
    SaveGallery();
    gallery_->ClearImages();
    gallery_->SetManagerName(Opengsk.FileName);
    LoadGallery();
    OpenImage.InitialDir = gallery_->InitialDir();
    UpdateCaption();
}

void MainWindowCommands::L1Click()
{
    ToolButton2Click();
}

void MainWindowCommands::N1Click()
{
    const std::optional<std::string> typed = dialogs_.AskGalleryName();
    if (!typed)
        return;
    const std::string name = GalleryName(*typed);
    SaveGallery();
    gallery_->ClearImages();
    gallery_->SetManagerName(name);
    LoadGallery();
    UpdateCaption();
}

void MainWindowCommands::R1Click()
{
    const std::optional<std::string> typed = dialogs_.AskGalleryName();
    if (!typed)
        return;
    gallery_->SetManagerName(GalleryName(*typed));
    UpdateCaption();
}

void MainWindowCommands::A1Click()
{
    iniFile_->WriteString(IniSection, SaverKey, gallery_->ManagerName());
}

void MainWindowCommands::B1Click()
{
    iniFile_->WriteString(IniSection, SaverKey, "Default");
}

void MainWindowCommands::ListViewDragDrop()
{
    gallery_->MoveSelected();
}

void MainWindowCommands::WallButtonClick()
{
    if (!listView_.SelectedIndex())
        return;
    const std::string picture = gallery_->GetSelectedFileName();
    const auto file = OpenPicture(picture);
    if (SetPictureAsWallpaper(*wallPaper_, picture, file.get(), gallery_->DisplayBitsPerPixel()))
        AnnounceWallpaper(*fastSstp_, picture);
}

void MainWindowCommands::X1Click()
{
    WallButtonClick();
}

void MainWindowCommands::KabeW1Click()
{
    frontEnd_.CheckWallpaperStyle(wallPaper_->Placement());
}

// With no scaled placement recorded, centred and tiled are SetTile(false) and SetTile(true).
void MainWindowCommands::CentCClick()
{
    wallPaper_->SetPlacement(WallpaperPlacement::Centred);
}

void MainWindowCommands::TileVClick()
{
    wallPaper_->SetPlacement(WallpaperPlacement::Tiled);
}

void MainWindowCommands::FillFClick()
{
    wallPaper_->SetPlacement(WallpaperPlacement::Fill);
}

void MainWindowCommands::FitTClick()
{
    wallPaper_->SetPlacement(WallpaperPlacement::Fit);
}

void MainWindowCommands::StretchSClick()
{
    wallPaper_->SetPlacement(WallpaperPlacement::Stretch);
}

void MainWindowCommands::SpanPClick()
{
    wallPaper_->SetPlacement(WallpaperPlacement::Span);
}

} // namespace vorlane
