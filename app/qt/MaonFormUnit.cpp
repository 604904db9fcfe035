#include "app/qt/MaonFormUnit.h"

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

#include "app/qt/Appearance.h"
#include "app/qt/ErrorReport.h"
#include "app/qt/ListView.h"
#include "app/qt/Pictures.h"
#include "gallery/ImageList.h"

namespace vorlane {

TMainForm* MainForm = nullptr;

namespace {

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

void TMainForm::FormCreate() { commands_->Create(); }
void TMainForm::FormShow() { commands_->FirstShow(); }
bool TMainForm::FormClose() { return commands_->Close(); }
void TMainForm::FormDestroy() { commands_->Destroy(); }
void TMainForm::UpdateCaption() { commands_->UpdateCaption(); }

void TMainForm::OpenImageButtonClick() { commands_->AddPictures(); }
void TMainForm::G1Click() { OpenImageButtonClick(); }
void TMainForm::ToolButton1Click() { commands_->DeletePicture(); }
void TMainForm::D1Click() { ToolButton1Click(); }
void TMainForm::ToolButton2Click() { commands_->OpenGallery(); }
void TMainForm::L1Click() { ToolButton2Click(); }
void TMainForm::N1Click() { commands_->NewGallery(); }
void TMainForm::R1Click() { commands_->RenameGallery(); }
void TMainForm::A1Click() { commands_->NameScreenSaverGallery(); }
void TMainForm::B1Click() { commands_->ReleaseScreenSaverGallery(); }
void TMainForm::ListViewDragDrop() { commands_->MoveDroppedPicture(); }

void TMainForm::WallButtonClick() { commands_->SetAsWallpaper(); }
void TMainForm::X1Click() { WallButtonClick(); }
void TMainForm::KabeW1Click() { commands_->ShowWallpaperStyle(); }
void TMainForm::CentCClick() { commands_->CentreWallpaper(); }
void TMainForm::TileVClick() { commands_->TileWallpaper(); }

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

void TMainForm::CheckWallpaperStyle(bool tile)
{
    TileV->setChecked(tile);
    CentC->setChecked(!tile);
}

WindowRect TMainForm::ClientArea() const
{
    return AreaOf(geometry());
}

void TMainForm::PlaceClientArea(const WindowRect& area)
{
    setGeometry(area.Left, area.Top, area.Width, area.Height);
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
