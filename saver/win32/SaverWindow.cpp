#include "saver/win32/SaverWindow.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "saver/SaverGallery.h"
#include "saver/win32/SaverPicture.h"

namespace vorlane::saver {
namespace {

constexpr const char* ClassName = "VorlaneSaver";
constexpr UINT PrepareMessage = WM_APP; // draw the next picture while this one shows
constexpr UINT_PTR TurnTimer = 1;
// The preview's look whether the settings' window is still there, should its going not take the
// preview along (a window of another program's).
constexpr UINT_PTR ParentTimer = 2;
constexpr UINT ParentCheckMilliseconds = 500;
// How far the mouse may move before the screen saver ends: a shaken table is no user.
constexpr int MouseSlack = 4;

void Report(const std::string& line)
{
    std::fprintf(stderr, "%s: %s\n", ProgramName, line.c_str());
}

class SaverWindow {
public:
    SaverWindow(ScreenSaverMode mode, HWND parent, const Options& options)
        : mode_(mode),
          parent_(parent),
          delayMilliseconds_(UINT(std::lround(options.delaySeconds * 1000))),
          gallery_(ReadSaverGallery()),
          placement_(SaverPlacement(Report)),
          slideshow_(gallery_.pictures, options.random)
    {
        if (!gallery_.problem.empty())
            Report(gallery_.problem);
    }

    ~SaverWindow()
    {
        for (HBITMAP bitmap : {shown_, next_})
            if (bitmap)
                DeleteObject(bitmap);
    }

    bool Create()
    {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hbrBackground = HBRUSH(GetStockObject(BLACK_BRUSH));
        windowClass.lpszClassName = ClassName;
        RegisterClassA(&windowClass);
        if (mode_ == ScreenSaverMode::Preview) {
            RECT client{};
            if (!IsWindow(parent_) || !GetClientRect(parent_, &client))
                return false;
            frame_ = PreviewFrame(client.right, client.bottom);
            hwnd_ = CreateWindowExA(0, ClassName, "", WS_CHILD | WS_VISIBLE, 0, 0, client.right, client.bottom, parent_,
                                    nullptr, GetModuleHandleA(nullptr), this);
        } else {
            frame_ = ScreenFrame();
            hwnd_ = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, ClassName, ProgramName, WS_POPUP | WS_VISIBLE,
                                    GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                                    frame_.width, frame_.height, nullptr, nullptr, GetModuleHandleA(nullptr), this);
        }
        if (!hwnd_)
            return false;
        if (mode_ == ScreenSaverMode::FullScreen)
            SetForegroundWindow(hwnd_);
        Show(Prepare());
        if (mode_ == ScreenSaverMode::Preview)
            SetTimer(hwnd_, ParentTimer, ParentCheckMilliseconds, nullptr);
        if (gallery_.problem.empty()) {
            SetTimer(hwnd_, TurnTimer, delayMilliseconds_, nullptr);
            PostMessageA(hwnd_, PrepareMessage, 0, 0);
        }
        return true;
    }

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE)
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, LONG_PTR(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
        auto* self = reinterpret_cast<SaverWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        return self ? self->Handle(hwnd, message, wParam, lParam) : DefWindowProcA(hwnd, message, wParam, lParam);
    }

    // What the turn shows: the next picture that can be drawn, or else the line that says none can.
    HBITMAP Prepare()
    {
        HDC dc = GetDC(hwnd_);
        HBITMAP bitmap = nullptr;
        if (gallery_.problem.empty())
            bitmap = reinterpret_cast<HBITMAP>(slideshow_.DrawNext(
                [&](const std::string& picture) {
                    return reinterpret_cast<uintptr_t>(DrawSaverPicture(dc, frame_, picture, placement_));
                },
                Report));
        if (!bitmap)
            bitmap = DrawSaverText(dc, frame_,
                                   gallery_.problem.empty() ? NothingShownText(gallery_.name) : gallery_.problem);
        ReleaseDC(hwnd_, dc);
        return bitmap;
    }

    void Show(HBITMAP bitmap)
    {
        if (shown_)
            DeleteObject(shown_);
        shown_ = bitmap;
        InvalidateRect(hwnd_, nullptr, FALSE);
    }

    void Paint()
    {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd_, &paint);
        if (shown_) {
            HDC memory = CreateCompatibleDC(dc);
            const HGDIOBJ old = SelectObject(memory, shown_);
            BitBlt(dc, 0, 0, frame_.width, frame_.height, memory, 0, 0, SRCCOPY);
            SelectObject(memory, old);
            DeleteDC(memory);
        } else {
            FillRect(dc, &paint.rcPaint, HBRUSH(GetStockObject(BLACK_BRUSH)));
        }
        EndPaint(hwnd_, &paint);
    }

    // On the whole screen, the user's hand ends it.
    bool EndsIt(UINT message, LPARAM lParam)
    {
        if (mode_ != ScreenSaverMode::FullScreen)
            return false;
        switch (message) {
        case WM_MOUSEMOVE: {
            const POINT at{short(LOWORD(lParam)), short(HIWORD(lParam))};
            if (!mouse_) {
                mouse_ = at;
                return false;
            }
            return std::abs(at.x - mouse_->x) > MouseSlack || std::abs(at.y - mouse_->y) > MouseSlack;
        }
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_XBUTTONDOWN:
        case WM_MOUSEWHEEL:
            return true;
        default:
            return false;
        }
    }

    LRESULT Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (EndsIt(message, lParam)) {
            DestroyWindow(hwnd);
            return 0;
        }
        switch (message) {
        case WM_PAINT:
            Paint();
            return 0;
        case WM_ERASEBKGND:
            return 1; // the picture covers all
        case WM_SETCURSOR:
            if (mode_ != ScreenSaverMode::FullScreen)
                break;
            SetCursor(nullptr);
            return TRUE;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_SCREENSAVE)
                return 0; // running already
            break;
        case WM_TIMER:
            if (wParam == ParentTimer) {
                if (!IsWindow(parent_))
                    DestroyWindow(hwnd);
                return 0;
            }
            if (wParam != TurnTimer)
                break;
            Show(next_ ? next_ : Prepare());
            next_ = nullptr;
            PostMessageA(hwnd, PrepareMessage, 0, 0);
            return 0;
        case PrepareMessage:
            if (!next_)
                next_ = Prepare();
            return 0;
        case WM_DESTROY:
            KillTimer(hwnd, TurnTimer);
            KillTimer(hwnd, ParentTimer);
            PostQuitMessage(0);
            return 0;
        default:
            break;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }

    ScreenSaverMode mode_;
    HWND parent_;
    UINT delayMilliseconds_;
    SaverGallery gallery_;
    WallpaperPlacement placement_;
    Slideshow slideshow_;
    SaverFrame frame_;
    HWND hwnd_ = nullptr;
    HBITMAP shown_ = nullptr;
    HBITMAP next_ = nullptr; // drawn while shown_ shows
    std::optional<POINT> mouse_;
};

} // namespace

int RunSaverWindow(ScreenSaverMode mode, HWND parent, const Options& options)
{
    SaverWindow window(mode, parent, options);
    if (!window.Create()) {
        Report(mode == ScreenSaverMode::Preview ? "there is no window to draw the preview in"
                                                : "cannot open the screen saver's window");
        return 1;
    }
    if (mode == ScreenSaverMode::FullScreen)
        ShowCursor(FALSE);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

} // namespace vorlane::saver
