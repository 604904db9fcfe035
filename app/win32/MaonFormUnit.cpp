#include "app/win32/MaonFormUnit.h"

#include <commctrl.h>

#include "app/ErrorText.h"
#include "app/MainWindowCommands.h"
#include "app/MainWindowLayout.h"
#include "app/win32/Dpi.h"
#include "app/win32/ListViewControl.h"
#include "app/win32/ProgramPictures.h"
#include "app/win32/ProgressForm.h"
#include "app/win32/Resources.h"
#include "app/win32/ToolBar.h"
#include "app/win32/WindowClass.h"
#include "app/win32/WindowFont.h"
#include "gallery/ImageList.h"
#include "platform/Path.h"

namespace vorlane {

TMainForm* MainForm = nullptr;

namespace {

constexpr const char* WindowClassName = "TMainForm";
constexpr int ToolBarId = 1, ListViewId = 2, StatusBarId = 3;
// The first showing's error, shown once the window is on the screen.
constexpr UINT WM_SHOWPENDINGERROR = WM_APP + 1;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (auto* form = WindowObject<TMainForm>(hwnd, message, lParam))
        return form->Dispatch(hwnd, message, wParam, lParam);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

std::string ProgramTitle()
{
    char module[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, module, sizeof module);
    return ApplicationTitle(module);
}

} // namespace

TMainForm::TMainForm(DialogRunner& dialogs, Desktop& desktop)
{
    RegisterWindowClass(WindowClassName, WindowProc, 0, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_VORLANE)));
    const WindowRect place = Scaled(DesignPlace);
    hwnd_ = CreateWindowExA(WS_EX_CONTROLPARENT, WindowClassName, DesignCaption, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                            place.Left, place.Top, place.Width, place.Height, nullptr, nullptr,
                            GetModuleHandleA(nullptr), this);
    try {
        CreateComponents(dialogs, desktop);
    } catch (...) {
        // No object answers for the window any more: it goes, and nothing reaches this one.
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
        throw;
    }
    Run([this] { commands_->Create(); });
}

void TMainForm::CreateComponents(DialogRunner& dialogs, Desktop& desktop)
{
    // The pictures first: the tool bar draws from its image list as it is made.
    DefaultImageList = new TImageList(this, 32, 32);
    DefaultImageList->SetName("DefaultImageList");
    AddPlaceholderPicture(*DefaultImageList);
    ButtonImageList = new TImageList(this, ButtonPictureSize, ButtonPictureSize);
    ButtonImageList->SetName("ButtonImageList");
    AddButtonPictures(*ButtonImageList);

    ToolBar1 = std::make_unique<TToolBar>(hwnd_, ToolBarId, *ButtonImageList, ToolButtons());
    ListView = std::make_unique<TListViewControl>(hwnd_, ListViewId);
    ListView->OnDragDrop = [this] { RunCommand(&MainWindowCommands::ListViewDragDrop); };
    StatusBar1 = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, hwnd_,
                                 HMENU(INT_PTR(StatusBarId)), GetModuleHandleA(nullptr), nullptr);
    SendMessageA(StatusBar1, SB_SIMPLE, TRUE, 0);
    SendMessageA(StatusBar1, SB_SETMINHEIGHT, Scaled(StatusBarHeight), 0);

    MainMenu1 = CreateMainMenu();
    SetMenu(hwnd_, MainMenu1.MainMenu1);
    ApplyWindowFont(hwnd_);
    Layout();

    commands_ = std::make_unique<MainWindowCommands>(*this, *this, *ListView, *DefaultImageList, dialogs, desktop);
}

TMainForm::~TMainForm()
{
    StopWatching();
    if (hwnd_)
        DestroyWindow(hwnd_);
}

template <class F>
void TMainForm::Run(F&& handler)
{
    try {
        handler();
    } catch (...) {
        ShowError(CurrentErrorBoxText());
    }
}

void TMainForm::Layout()
{
    RECT client;
    GetClientRect(hwnd_, &client);
    SendMessageA(ToolBar1->Handle(), TB_AUTOSIZE, 0, 0);
    SendMessageA(StatusBar1, WM_SIZE, 0, 0);
    RECT status;
    GetWindowRect(StatusBar1, &status);
    const int top = ToolBar1->Height();
    const int bottom = client.bottom - (status.bottom - status.top);
    MoveWindow(ListView->Handle(), 0, top, client.right, bottom > top ? bottom - top : 0, TRUE);
}

void TMainForm::RunCommand(MainWindowCommand command)
{
    if (command)
        Run([this, command] { (commands_.get()->*command)(); });
}

LRESULT TMainForm::Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Creating the controls already sends notices; the window answers once all of it exists.
    if (!commands_ && message != WM_DESTROY)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_SETFOCUS:
        SetFocus(ListView->Handle());
        return 0;
    case WM_COMMAND:
        if (lParam == 0 || HWND(lParam) == ToolBar1->Handle())
            RunCommand(CommandOf(ControlOfCommand(LOWORD(wParam))));
        return 0;
    case WM_NOTIFY: {
        NMHDR& notice = *reinterpret_cast<NMHDR*>(lParam);
        if (ToolBar1->Notify(notice) || ListView->Notify(notice))
            return 0;
        break;
    }
    case WM_INITMENUPOPUP:
        for (size_t i = 0; i < MainMenu1.Menus.size(); ++i)
            if (HMENU(wParam) == MainMenu1.Menus[i])
                RunCommand(MainMenu()[i].Open);
        return 0;
    case WM_SHOWWINDOW:
        if (wParam && !shown_) {
            shown_ = true;
            try {
                commands_->FirstShow();
            } catch (...) {
                // The window is not on the screen yet: a box opened now would stand over an undrawn window.
                pendingError_ = CurrentErrorBoxText();
                PostMessageA(hwnd_, WM_SHOWPENDINGERROR, 0, 0);
            }
        }
        break;
    case WM_SHOWPENDINGERROR:
        ShowError(pendingError_);
        return 0;
    case WM_CLOSE:
        if (commands_->Close())
            DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        if (commands_)
            Run([this] { commands_->Destroy(); });
        StopWatching();
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void TMainForm::SetCaption(const std::string& caption)
{
    SetWindowTextA(hwnd_, caption.c_str());
}

void TMainForm::ShowNotice(const std::string& text)
{
    MessageBoxA(hwnd_, text.c_str(), ProgramTitle().c_str(), MB_OK | MB_ICONINFORMATION);
}

void TMainForm::ShowError(const std::string& text)
{
    MessageBoxA(hwnd_, text.c_str(), ProgramTitle().c_str(), MB_OK | MB_ICONERROR);
}

LockWait TMainForm::AskWhileBusy(const std::string& text)
{
    switch (MessageBoxA(hwnd_, text.c_str(), ProgramTitle().c_str(),
                        MB_ABORTRETRYIGNORE | MB_ICONWARNING | MB_DEFBUTTON2)) {
    case IDRETRY:
        return LockWait::Again;
    case IDIGNORE:
        return LockWait::GoOn;
    default:
        return LockWait::GiveUp;
    }
}

void TMainForm::CheckWallpaperStyle(WallpaperPlacement placement)
{
    for (const PlacementItemLayout& item : PlacementItems())
        CheckMenuItem(MainMenu1, item.Control, item.Placement == placement);
}

// On Windows the stored place is the whole window's, frame included, as the system places windows. It is
// kept in pixels at 96 DPI, as the system gives them to a program that is not aware of the DPI, so a
// gallery opens at the same size on the screen whatever the DPI it was saved at.
WindowRect TMainForm::WindowArea() const
{
    RECT window;
    GetWindowRect(hwnd_, &window);
    return Unscaled(WindowRect{window.left, window.top, window.right - window.left, window.bottom - window.top});
}

void TMainForm::PlaceWindow(const WindowRect& area)
{
    const WindowRect place = Scaled(area);
    SetWindowPos(hwnd_, nullptr, place.Left, place.Top, place.Width, place.Height, SWP_NOZORDER | SWP_NOACTIVATE);
}

std::vector<WindowRect> TMainForm::MonitorAreas() const
{
    std::vector<WindowRect> areas;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR, HDC, LPRECT area, LPARAM found) -> BOOL {
            reinterpret_cast<std::vector<WindowRect>*>(found)->push_back(
                Unscaled(WindowRect{area->left, area->top, area->right - area->left, area->bottom - area->top}));
            return TRUE;
        },
        LPARAM(&areas));
    return areas;
}

std::optional<int> TMainForm::ScreenBitsPerPixel() const
{
    HDC screen = GetDC(nullptr);
    if (!screen)
        return std::nullopt;
    const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    return bits;
}

std::unique_ptr<WorkProgress> TMainForm::BeginProgress(const std::string& text, size_t total)
{
    return std::make_unique<TProgressForm>(hwnd_, ProgramTitle(), text, total);
}

// The folder's change notice tells of any write, rename or new file in it, the gallery file's included;
// the commands look whether the gallery file itself changed.
void TMainForm::WatchGalleryFile(const std::string&, const std::string& folder)
{
    StopWatching();
    const std::string watched = folder.empty() ? "." : folder;
    HANDLE watch = FindFirstChangeNotificationA(
        watched.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE);
    watch_ = watch == INVALID_HANDLE_VALUE ? nullptr : watch;
}

void TMainForm::StopWatching()
{
    if (watch_)
        FindCloseChangeNotification(watch_);
    watch_ = nullptr;
}

void TMainForm::GalleryWatchSignalled()
{
    if (watch_ && !FindNextChangeNotification(watch_))
        StopWatching();
    Run([this] { commands_->GalleryFileChanged(); });
}

} // namespace vorlane
