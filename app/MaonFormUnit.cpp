#include "app/MaonFormUnit.h"

#include <algorithm>
#include <climits>
#include <optional>

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include "app/Appearance.h"
#include "app/ErrorReport.h"
#include "app/GskFormUnit.h"
#include "app/ListView.h"
#include "app/Pictures.h"
#include "gallery/ImageList.h"
#include "gallery/Vorlane1.h"
#include "image/PictureFile.h"
#include "platform/CodePage.h"
#include "platform/DisplayName.h"
#include "platform/Exceptions.h"
#include "platform/Path.h"
#include "platform/Profile.h"
#include "sstp/FastSstp.h"
#include "sstp/WallpaperAnnouncement.h"
#include "wallpaper/CWallPaper.h"
#include "wallpaper/WallpaperFile.h"

namespace vorlane {

TMainForm* MainForm = nullptr;

namespace {

constexpr const char* IniFileName = "Vorlane.ini";
constexpr const char* IniSection = "Initial";
constexpr const char* DefaultGalleryName = "画集";
// Said after a save that found another program's version of the gallery file: the gallery file (twice),
// then where the other version is now.
constexpr const char* VersionsKeptText =
    "画集 %s は、開いている間に他のプログラムが書き換えていました。この画面の画集を %s に保存し、"
    "他のプログラムが保存した画集は %s に残しました。";
// Added to the error of a close that could not save.
constexpr const char* CloseAgainHint = "保存せずに閉じるには、もう一度閉じてください。";

// A stored width or height is applied as it is, but no bigger than this: a damaged gallery file must not
// make the window ask for gigabytes of backing store.
constexpr int MaxWindowSide = 8192;

// "Manager" as this system names the gallery. A settings file brought from Windows holds a Windows path
// in Shift_JIS, which names no file here: the gallery of that name in the program folder is meant, where
// the galleries brought along go. Texts are UTF-8 here, so another name in Shift_JIS is read as such;
// bytes that are neither stay as they are.
std::string StartGalleryName(const std::string& stored)
{
    if (path::IsWindowsPath(stored))
        return path::ProgramFolder() + display::FileName(stored);
    if (!codepage::IsValidUtf8(stored))
        if (std::optional<std::string> utf8 = codepage::ShiftJisToUtf8(stored))
            return *utf8;
    return stored;
}

// A picture that is not here (an entry of a gallery made on Windows that was not yet relinked, a file
// since removed) ends the command with the open error, naming it as the user reads it, before anything
// reaches the desktop: a missing bitmap would otherwise be handed on unchecked and announced.
void RequirePicture(const std::string& picture)
{
    try {
        OpenPictureFile(picture);
    } catch (const EFOpenError&) {
        throw EFOpenError(Format(msg::FOpenError, codepage::DisplayText(picture).c_str()));
    }
}

// The gallery name typed in the name dialog, refused when no file of that name can exist in the
// program folder (a "/" would name another folder; a name must fit the file system's limit): otherwise
// every later save, and so every close, would fail.
std::string GalleryName(const std::string& typed)
{
    const std::string name = path::ProgramFolder() + typed;
    const std::string fileName = path::ExtractFileName(path::ChangeFileExt(name, ".gsk"));
    if (typed.find('/') != std::string::npos || fileName.size() > NAME_MAX)
        throw EFCreateError(Format(msg::FCreateError, (name + ".gsk").c_str()));
    return name;
}

// The point of a window that stands for its top: in its title bar, near its left end.
QPoint TopOf(const QRect& window)
{
    return QPoint(window.left() + std::min(window.width() / 2, 50), window.top() + 5);
}

// A window is shown where its top (title bar and menus) lies on some monitor.
bool TopIsShown(const QRect& window)
{
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->geometry().contains(TopOf(window)))
            return true;
    return QGuiApplication::screens().isEmpty();
}

// `window` moved, at its size, onto the monitor nearest to its top.
QRect OntoNearestMonitor(const QRect& window)
{
    const QPoint top = TopOf(window);
    QRect best;
    long bestDistance = -1;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->geometry();
        const long dx = top.x() < area.left() ? area.left() - top.x() : std::max(0, top.x() - area.right());
        const long dy = top.y() < area.top() ? area.top() - top.y() : std::max(0, top.y() - area.bottom());
        if (bestDistance < 0 || dx + dy < bestDistance) {
            bestDistance = dx + dy;
            best = area;
        }
    }
    const int left = std::clamp(window.left(), best.left(), std::max(best.left(), best.right() + 1 - window.width()));
    const int top_ = std::clamp(window.top(), best.top(), std::max(best.top(), best.bottom() + 1 - window.height()));
    return QRect(left, top_, window.width(), window.height());
}

} // namespace

TMainForm::TMainForm(DialogRunner& dialogs, Desktop& desktop, QWidget* parent) : QMainWindow(parent), dialogs_(dialogs)
{
    setWindowTitle(QStringLiteral("Quorvel Vorlane  Ver1.6"));
    setFont(WindowFont());
    setContextMenuPolicy(Qt::NoContextMenu); // no pop-up menu anywhere
    move(296, 105);
    resize(510, 401);

    CreateToolBar();

    ListView = new TListView(this);
    ListView->OnDragDrop = [this] { RunCommand([this] { ListViewDragDrop(); }); };
    setCentralWidget(ListView);
    setTabOrder(ListView, ListView);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setFixedHeight(19);
    setStatusBar(StatusBar1);

    DefaultImageList = new TImageList(this, 32, 32);
    DefaultImageList->SetName("DefaultImageList");
    AddPicture(*DefaultImageList, PlaceholderPicture);

    ButtonImageList = new TImageList(this, 32, 32);
    ButtonImageList->SetName("ButtonImageList");
    for (int i = 0; i < 5; ++i)
        AddPicture(*ButtonImageList, ButtonPicture(i));
    OpenImageButton->setIcon(ImageListIcon(*ButtonImageList, 0));
    WallButton->setIcon(ImageListIcon(*ButtonImageList, 1));
    ToolButton1->setIcon(ImageListIcon(*ButtonImageList, 2));
    ToolButton2->setIcon(ImageListIcon(*ButtonImageList, 3));

    OpenImage.Filter = "ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp|JPEG(*.jpg)|*jpg";
    OpenImage.FilterIndex = 1;
    OpenImage.AllowMultiSelect = true;
    OpenImage.FileMustExist = true;
    OpenImage.Sizable = false;
    OpenImage.PicturePreview = true;

    WallPaper = new TWallPaper(this, desktop);
    WallPaper->SetName("WallPaper");

    Opengsk.Filter = "画集|*.gsk";
    Opengsk.Sizable = true;

    CreateMenus();

    FastSstp = CreateMainWindowFastSstp(this);

    RunCommand([this] { FormCreate(); });
}

TMainForm::~TMainForm()
{
    RunCommand([this] { FormDestroy(); });
    if (Gallery)
        Gallery->SetView(nullptr);
    ListView->SetLargeImages(nullptr);
    Gallery.reset();
}

void TMainForm::CreateToolBar()
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(32, 32));
    ToolBar1->setContentsMargins(0, 0, 0, 0);
    ToolBar1->setFixedHeight(55);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    const auto button = [this](const char* caption, const char* hint, bool showHint, void (TMainForm::*handler)()) {
        auto* b = new QToolButton(ToolBar1);
        b->setText(QString::fromUtf8(caption));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setIconSize(QSize(32, 32));
        b->setFixedSize(55, 51);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus); // tool buttons take no focus; the list is the first stop
        // The hint is kept with the button; it shows as a tool tip only where the layout lets it.
        b->setProperty("Hint", QString::fromUtf8(hint));
        if (showHint)
            b->setToolTip(QString::fromUtf8(hint));
        if (handler)
            connect(b, &QToolButton::clicked, this, [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
        ToolBar1->addWidget(b);
        return b;
    };
    OpenImageButton = button("画像読込", "画像を読み込む(複数可)", true, &TMainForm::OpenImageButtonClick);
    WallButton = button("壁紙", "壁紙にする", true, &TMainForm::WallButtonClick);
    ToolButton1 = button("削除", "画像削除", true, &TMainForm::ToolButton1Click);
    ToolButton2 = button("画集読込", "画集を読み込む", false, &TMainForm::ToolButton2Click);
}

void TMainForm::CreateMenus()
{
    MainMenu1 = menuBar();
    const auto item = [this](QMenu* menu, const char* caption, void (TMainForm::*handler)()) {
        QAction* action = menu->addAction(QString::fromUtf8(caption));
        if (handler)
            connect(action, &QAction::triggered, this, [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
        return action;
    };
    F1 = MainMenu1->addMenu(QStringLiteral("ファイル(&F)"));
    N1 = item(F1, "新規画集(&N)", &TMainForm::N1Click);
    L1 = item(F1, "画集読込(&L)", &TMainForm::L1Click);
    R1 = item(F1, "画集の名前を変える(&R)", &TMainForm::R1Click);
    G1 = item(F1, "画像読込(&G)", &TMainForm::G1Click);
    D1 = item(F1, "画像削除(&D)", &TMainForm::D1Click);

    KabeW1 = MainMenu1->addMenu(QStringLiteral("壁紙(&W)"));
    connect(KabeW1, &QMenu::aboutToShow, this, [this] { RunCommand([this] { KabeW1Click(); }); });
    X1 = item(KabeW1, "壁紙に設定(&X)", &TMainForm::X1Click);
    N2 = KabeW1->addSeparator();
    CentC = item(KabeW1, "画像を中央に(&C)", &TMainForm::CentCClick);
    TileV = item(KabeW1, "画像を並べて(&V)", &TMainForm::TileVClick);
    CentC->setCheckable(true);
    TileV->setCheckable(true);

    s1 = MainMenu1->addMenu(QStringLiteral("ｽｸﾘｰﾝｾｰﾊﾞ(&S)"));
    A1 = item(s1, "画集の設定(&A)", &TMainForm::A1Click);
    B1 = item(s1, "画集の解除(&B)", &TMainForm::B1Click);
}

void TMainForm::FormCreate()
{
    Gallery = std::make_unique<TVorlane>();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        Gallery->SetDisplayBitsPerPixel(screen->depth());
    IniFile = std::make_unique<TIniFile>(IniFileName);
    StartManagerName =
        StartGalleryName(IniFile->ReadString(IniSection, "Manager", path::ProgramFolder() + DefaultGalleryName));
}

void TMainForm::FormShow()
{
    Gallery->SetDefaultImages(*DefaultImageList);
    Gallery->SetView(ListView);
    Gallery->SetManagerName(StartManagerName);
    LoadGallery();
    ApplyStoredGeometry();
    OpenImage.InitialDir = Gallery->InitialDir();
    UpdateCaption();
}

// The window's client area is what is stored and restored: its frame is the window manager's, known only
// once the window is on the screen, and storing one while restoring the other moved the window by the
// frame's size at every session.
void TMainForm::ApplyStoredGeometry()
{
    QRect stored(Gallery->FormLeft(), Gallery->FormTop(), std::clamp(Gallery->FormWidth(), 1, MaxWindowSide),
                 std::clamp(Gallery->FormHeight(), 1, MaxWindowSide));
    if (!TopIsShown(stored))
        stored = OntoNearestMonitor(stored);
    setGeometry(stored);
}

void TMainForm::FormClose()
{
    const QRect client = geometry();
    Gallery->SetFormTop(client.top());
    Gallery->SetFormLeft(client.left());
    Gallery->SetFormWidth(client.width());
    Gallery->SetFormHeight(client.height());
    SaveGallery();
}

void TMainForm::FormDestroy()
{
    if (!IniFile || !Gallery)
        return; // FormCreate did not get that far
    IniFile->WriteString(IniSection, "Manager", Gallery->ManagerName());
}

void TMainForm::UpdateCaption()
{
    setWindowTitle(QString::fromStdString(CaptionPrefix + display::FileName(Gallery->StoredManagerName())));
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    try {
        FormShow();
    } catch (...) {
        // The show event comes before the window is on the screen: a modal box opened here would leave
        // it undrawn behind the box. The error is shown once the window is up.
        QMetaObject::invokeMethod(
            this,
            [error = std::current_exception()] {
                try {
                    std::rethrow_exception(error);
                } catch (...) {
                    HandleCurrentException();
                }
            },
            Qt::QueuedConnection);
    }
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    try {
        FormClose();
        event->accept();
    } catch (const std::exception& error) {
        // The gallery could not be saved: say why and stay open, so that a later close tries again. That
        // one closes the window even when it cannot save either, so the user is never shut in.
        if (closeFailed_) {
            event->accept();
            return;
        }
        closeFailed_ = true;
        event->ignore();
        ShowException(error, CloseAgainHint);
    }
}

void TMainForm::LoadGallery()
{
    const std::string file = Gallery->GalleryFileName();
    try {
        Gallery->LoadGallery();
    } catch (...) {
        damaged_.LoadFailed(file);
        WatchGalleryFile();
        throw;
    }
    WatchGalleryFile();
}

void TMainForm::SaveGallery()
{
    damaged_.BeforeSave(Gallery->GalleryFileName());
    Gallery->SaveGallery();
    closeFailed_ = false;
    WatchGalleryFile();
    if (const std::optional<std::string>& aside = Gallery->KeptAside())
        ShowNotice(Format(VersionsKeptText, Gallery->GalleryFileName().c_str(), Gallery->GalleryFileName().c_str(),
                          aside->c_str()));
}

void TMainForm::WatchGalleryFile()
{
    if (!galleryWatcher_) {
        galleryWatcher_ = new QFileSystemWatcher(this);
        connect(galleryWatcher_, &QFileSystemWatcher::fileChanged, this, [this] { GalleryFileChanged(); });
        connect(galleryWatcher_, &QFileSystemWatcher::directoryChanged, this, [this] { GalleryFileChanged(); });
    }
    if (const QStringList watched = galleryWatcher_->files() + galleryWatcher_->directories(); !watched.isEmpty())
        galleryWatcher_->removePaths(watched);
    const std::string file = Gallery->GalleryFileName();
    std::string folder = path::ExtractFileDir(file);
    galleryWatcher_->addPath(QString::fromStdString(folder.empty() ? "." : folder));
    // A file replaced by a rename is a new one to watch; the folder's notice tells of it.
    if (QFileInfo::exists(QString::fromStdString(file)))
        galleryWatcher_->addPath(QString::fromStdString(file));
}

void TMainForm::GalleryFileChanged()
{
    RunCommand([this] {
        if (Gallery->ReloadIfChanged())
            UpdateCaption();
        WatchGalleryFile();
    });
}

void TMainForm::OpenImageButtonClick()
{
    if (!dialogs_.Execute(OpenImage))
        return;
    Gallery->AddImages(OpenImage.Files);
    Gallery->SetInitialDir(path::ExtractFileDir(OpenImage.FileName));
}

void TMainForm::G1Click()
{
    OpenImageButtonClick();
}

void TMainForm::ToolButton1Click()
{
    Gallery->DeleteSelected();
}

void TMainForm::D1Click()
{
    ToolButton1Click();
}

void TMainForm::ToolButton2Click()
{
    Opengsk.InitialDir = path::ProgramFolder();
    if (!dialogs_.Execute(Opengsk))
        return;
    SaveGallery();
    Gallery->ClearImages();
    Gallery->SetManagerName(Opengsk.FileName);
    LoadGallery();
    OpenImage.InitialDir = Gallery->InitialDir();
    UpdateCaption();
}

void TMainForm::L1Click()
{
    ToolButton2Click();
}

void TMainForm::N1Click()
{
    const std::optional<std::string> typed = dialogs_.AskGalleryName();
    if (!typed)
        return;
    const std::string name = GalleryName(*typed);
    SaveGallery();
    Gallery->ClearImages();
    Gallery->SetManagerName(name);
    LoadGallery();
    UpdateCaption();
}

void TMainForm::R1Click()
{
    const std::optional<std::string> typed = dialogs_.AskGalleryName();
    if (!typed)
        return;
    Gallery->SetManagerName(GalleryName(*typed));
    UpdateCaption();
}

void TMainForm::A1Click()
{
    IniFile->WriteString(IniSection, "Saver", Gallery->ManagerName());
}

void TMainForm::B1Click()
{
    IniFile->WriteString(IniSection, "Saver", "Default");
}

void TMainForm::ListViewDragDrop()
{
    Gallery->MoveSelected();
}

void TMainForm::WallButtonClick()
{
    if (!ListView->SelectedIndex())
        return;
    const std::string picture = Gallery->GetSelectedFileName();
    RequirePicture(picture);
    // The desktop draws a JPEG from its rows as "Temp.bmp" is written; only a wallpaper it took is announced.
    const std::string wallpaper = PrepareWallpaperFile(picture, Gallery->DisplayBitsPerPixel(), WallPaper->PrepareDrawing());
    if (WallPaper->SetWallPaper(wallpaper))
        AnnounceWallpaper(*FastSstp, picture);
}

void TMainForm::X1Click()
{
    WallButtonClick();
}

void TMainForm::KabeW1Click()
{
    TileV->setChecked(WallPaper->Tile());
    CentC->setChecked(!WallPaper->Tile());
}

void TMainForm::CentCClick()
{
    WallPaper->SetTile(false);
}

void TMainForm::TileVClick()
{
    WallPaper->SetTile(true);
}

} // namespace vorlane
