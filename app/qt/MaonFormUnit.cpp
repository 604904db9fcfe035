#include "app/qt/MaonFormUnit.h"

#include <algorithm>
#include <map>

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

#include "app/MainWindowLayout.h"
#include "app/qt/Appearance.h"
#include "app/qt/ErrorReport.h"
#include "app/qt/FrameExtents.h"
#include "app/qt/ListView.h"
#include "app/qt/Pictures.h"
#include "app/qt/Progress.h"
#include "gallery/ImageList.h"

namespace vorlane {

TMainForm* MainForm = nullptr;

namespace {

// Tries to put the frame in place once it is known, for a window manager that moves it elsewhere.
constexpr int MaxFits = 3;

WindowRect AreaOf(const QRect& rect)
{
    return {rect.left(), rect.top(), rect.width(), rect.height()};
}

} // namespace

TMainForm::TMainForm(DialogRunner& dialogs, Desktop& desktop, QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QString::fromUtf8(DesignCaption));
    setFont(WindowFont());
    setContextMenuPolicy(Qt::NoContextMenu); // no pop-up menu anywhere
    move(DesignPlace.Left, DesignPlace.Top);
    resize(DesignPlace.Width, DesignPlace.Height);

    // The pictures first: the tool buttons take theirs as they are made.
    DefaultImageList = new TImageList(this, 32, 32);
    DefaultImageList->SetName("DefaultImageList");
    AddPicture(*DefaultImageList, PlaceholderPicture);

    ButtonImageList = new TImageList(this, ButtonPictureSize, ButtonPictureSize);
    ButtonImageList->SetName("ButtonImageList");
    for (int i = 0; i < ButtonPictureCount; ++i)
        AddPicture(*ButtonImageList, ButtonPicture(i));

    CreateToolBar();

    ListView = new TListView(this);
    ListView->OnDragDrop = [this] { Run(&MainWindowCommands::ListViewDragDrop); };
    setCentralWidget(ListView);
    setTabOrder(ListView, ListView);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setFixedHeight(StatusBarHeight);
    setStatusBar(StatusBar1);

    // The dialogs' settings, the wallpaper component and the SSTP component are the commands'.
    MainWindowFrontEnd& frontEnd = *this;
    commands_ = std::make_unique<MainWindowCommands>(*this, frontEnd, *ListView, *DefaultImageList, dialogs, desktop);
    WallPaper = &commands_->WallPaper();
    FastSstp = &commands_->FastSstp();

    CreateMenus();

    RunCommand([this] { FormCreate(); });
}

TMainForm::~TMainForm()
{
    RunCommand([this] { FormDestroy(); });
    commands_.reset();
}

void TMainForm::Run(MainWindowCommand command)
{
    RunCommand([this, command] { (commands_.get()->*command)(); });
}

void TMainForm::CreateToolBar()
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(ButtonPictureSize, ButtonPictureSize));
    ToolBar1->setContentsMargins(0, 0, 0, 0);
    ToolBar1->setFixedHeight(ToolBarHeight);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    std::map<MainWindowControl, QToolButton*> made;
    for (const ToolButtonLayout& layout : ToolButtons()) {
        auto* b = new QToolButton(ToolBar1);
        b->setText(QString::fromUtf8(layout.Caption));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setIcon(ImageListIcon(*ButtonImageList, layout.Image));
        b->setIconSize(QSize(ButtonPictureSize, ButtonPictureSize));
        b->setFixedSize(ToolButtonWidth, ToolButtonHeight);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus); // tool buttons take no focus; the list is the first stop
        b->setProperty("Hint", QString::fromUtf8(layout.Hint));
        if (layout.ShowHint)
            b->setToolTip(QString::fromUtf8(layout.Hint));
        connect(b, &QToolButton::clicked, this, [this, command = layout.Click] { Run(command); });
        ToolBar1->addWidget(b);
        made[layout.Control] = b;
    }
    OpenImageButton = made.at(MainWindowControl::OpenImageButton);
    WallButton = made.at(MainWindowControl::WallButton);
    ToolButton1 = made.at(MainWindowControl::ToolButton1);
    ToolButton2 = made.at(MainWindowControl::ToolButton2);
}

void TMainForm::CreateMenus()
{
    MainMenu1 = menuBar();
    std::map<MainWindowControl, QMenu*> menus;
    std::map<MainWindowControl, QAction*> items;
    for (const MenuLayout& layout : MainMenu()) {
        QMenu* menu = MainMenu1->addMenu(QString::fromUtf8(layout.Caption));
        if (layout.Open)
            connect(menu, &QMenu::aboutToShow, this, [this, command = layout.Open] { Run(command); });
        for (const MenuItemLayout& item : layout.Items) {
            if (item.IsSeparator()) {
                items[item.Control] = menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf8(item.Caption));
            action->setCheckable(item.Checkable);
            connect(action, &QAction::triggered, this, [this, command = item.Click] { Run(command); });
            items[item.Control] = action;
        }
        menus[layout.Control] = menu;
    }
    F1 = menus.at(MainWindowControl::F1);
    N1 = items.at(MainWindowControl::N1);
    L1 = items.at(MainWindowControl::L1);
    R1 = items.at(MainWindowControl::R1);
    G1 = items.at(MainWindowControl::G1);
    D1 = items.at(MainWindowControl::D1);
    KabeW1 = menus.at(MainWindowControl::KabeW1);
    X1 = items.at(MainWindowControl::X1);
    N2 = items.at(MainWindowControl::N2);
    CentC = items.at(MainWindowControl::CentC);
    TileV = items.at(MainWindowControl::TileV);
    N3 = items.at(MainWindowControl::N3);
    FillF = items.at(MainWindowControl::FillF);
    FitT = items.at(MainWindowControl::FitT);
    StretchS = items.at(MainWindowControl::StretchS);
    SpanP = items.at(MainWindowControl::SpanP);
    s1 = menus.at(MainWindowControl::s1);
    A1 = items.at(MainWindowControl::A1);
    B1 = items.at(MainWindowControl::B1);
}

void TMainForm::FormCreate()
{
    commands_->Create();
}
void TMainForm::FormShow()
{
    commands_->FirstShow();
}
bool TMainForm::FormClose()
{
    return commands_->Close();
}
void TMainForm::FormDestroy()
{
    commands_->Destroy();
}
void TMainForm::UpdateCaption()
{
    commands_->UpdateCaption();
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
    if (FormClose())
        event->accept();
    else
        event->ignore();
}

void TMainForm::SetCaption(const std::string& caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

void TMainForm::ShowNotice(const std::string& text)
{
    vorlane::ShowNotice(text);
}

void TMainForm::ShowError(const std::string& text)
{
    vorlane::ShowError(text);
}

LockWait TMainForm::AskWhileBusy(const std::string& text)
{
    return vorlane::AskWhileBusy(text);
}

void TMainForm::CheckWallpaperStyle(WallpaperPlacement placement)
{
    const std::map<MainWindowControl, QAction*> items{
        {MainWindowControl::CentC, CentC}, {MainWindowControl::TileV, TileV},       {MainWindowControl::FillF, FillF},
        {MainWindowControl::FitT, FitT},   {MainWindowControl::StretchS, StretchS}, {MainWindowControl::SpanP, SpanP}};
    for (const PlacementItemLayout& item : PlacementItems())
        items.at(item.Control)->setChecked(item.Placement == placement);
}

WindowRect TMainForm::WindowArea() const
{
    // The window's own frame geometry asks the window manager's frame (_NET_FRAME_EXTENTS) as it is now.
    if (const QWindow* window = windowHandle())
        return AreaOf(window->frameGeometry());
    return AreaOf(frameGeometry());
}

void TMainForm::PlaceWindow(const WindowRect& area)
{
    // The window manager frames the window when it maps it, and tells the frame's size then; the
    // window is fitted again until its frame is where it was asked to be. Qt takes in each notice
    // after this watch has seen it: the window is fitted after Qt has.
    if (!frameWatch_)
        frameWatch_ = FrameExtentsWatch::Make(*this, [this] {
            QMetaObject::invokeMethod(
                this, [this] { Framed(); }, Qt::QueuedConnection);
        });
    FitFrame(area);
    placing_ = area;
    fits_ = 0;
    if (!frameWatch_)
        placing_.reset();
}

// Once the frame is in place (or after a few tries, for a window manager that places the window its
// own way), the user places the window.
void TMainForm::Framed()
{
    if (!placing_)
        return;
    const std::optional<QRect> frame = frameWatch_->FrameOnScreen();
    const WindowRect& area = *placing_;
    if (frame && *frame == QRect(area.Left, area.Top, area.Width, area.Height)) {
        placing_.reset();
        return;
    }
    if (!frame) // not framed yet
        return;
    if (++fits_ > MaxFits) {
        placing_.reset();
        return;
    }
    FitFrame(area);
}

// The client area inside the frame as the window manager reports it now (none before it framed the
// window, and none without a window manager).
void TMainForm::FitFrame(const WindowRect& area)
{
    const std::optional<QMargins> told = frameWatch_ ? frameWatch_->Extents() : std::nullopt;
    const QMargins frame = told ? *told : windowHandle() ? windowHandle()->frameMargins() : QMargins();
    setGeometry(area.Left + frame.left(), area.Top + frame.top(),
                std::max(1, area.Width - frame.left() - frame.right()),
                std::max(1, area.Height - frame.top() - frame.bottom()));
}

std::vector<WindowRect> TMainForm::MonitorAreas() const
{
    std::vector<WindowRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas.push_back(AreaOf(screen->geometry()));
    return areas;
}

std::optional<int> TMainForm::ScreenBitsPerPixel() const
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return screen->depth();
    return std::nullopt;
}

std::unique_ptr<WorkProgress> TMainForm::BeginProgress(const std::string& text, size_t total)
{
    return std::make_unique<QtWorkProgress>(*this, text, total, ProgressDelay);
}

void TMainForm::WatchGalleryFile(const std::string& file, const std::string& folder)
{
    if (!galleryWatcher_) {
        galleryWatcher_ = new QFileSystemWatcher(this);
        const auto changed = [this] { RunCommand([this] { commands_->GalleryFileChanged(); }); };
        connect(galleryWatcher_, &QFileSystemWatcher::fileChanged, this, changed);
        connect(galleryWatcher_, &QFileSystemWatcher::directoryChanged, this, changed);
    }
    if (const QStringList watched = galleryWatcher_->files() + galleryWatcher_->directories(); !watched.isEmpty())
        galleryWatcher_->removePaths(watched);
    galleryWatcher_->addPath(QString::fromStdString(folder));
    // A file replaced by a rename is a new one to watch; the folder's notice tells of it.
    if (QFileInfo::exists(QString::fromStdString(file)))
        galleryWatcher_->addPath(QString::fromStdString(file));
}

} // namespace vorlane
