#include "app/win32/ProgressForm.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>

#include "app/win32/Dpi.h"
#include "app/win32/WindowClass.h"
#include "app/win32/WindowFont.h"

namespace vorlane {
namespace {

constexpr const char* ClassName = "TProgressForm";
constexpr const char* CancelCaption = "キャンセル";
constexpr ULONGLONG ShowAfter = 1000; // milliseconds of work before the dialog opens
constexpr DWORD Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD ExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr int Width = 360, Height = 110; // the client area at 96 DPI

// A control at a place given at 96 DPI.
HWND Control(const char* kind, const char* text, DWORD style, HWND parent, int id, int left, int top, int width,
             int height)
{
    return CreateWindowExA(0, kind, text, WS_CHILD | WS_VISIBLE | style, Scaled(left), Scaled(top), Scaled(width),
                           Scaled(height), parent, HMENU(INT_PTR(id)), GetModuleHandleA(nullptr), nullptr);
}

} // namespace

TProgressForm::TProgressForm(HWND owner, std::string title, std::string text, size_t total)
    : owner_(owner),
      title_(std::move(title)),
      text_(std::move(text)),
      total_(total),
      start_(GetTickCount64())
{
}

TProgressForm::~TProgressForm()
{
    if (!hwnd_)
        return;
    // The owner comes back before the dialog goes, so the activation returns to it.
    if (owner_)
        EnableWindow(owner_, TRUE);
    DestroyWindow(hwnd_);
}

std::string TProgressForm::Label(size_t done) const
{
    return text_ + "  " + std::to_string(done) + " / " + std::to_string(total_);
}

void TProgressForm::Show()
{
    RegisterWindowClass(ClassName, WindowProc);
    RECT frame{0, 0, Scaled(Width), Scaled(Height)};
    AdjustWindowRectEx(&frame, Style, FALSE, ExStyle);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    // Centred over the owner.
    RECT over{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (owner_)
        GetWindowRect(owner_, &over);
    const int left = over.left + (over.right - over.left - width) / 2;
    const int top = over.top + (over.bottom - over.top - height) / 2;
    hwnd_ = CreateWindowExA(ExStyle, ClassName, title_.c_str(), Style, left, top, width, height, owner_, nullptr,
                            GetModuleHandleA(nullptr), this);
    if (!hwnd_)
        return;
    label_ = Control("STATIC", Label(0).c_str(), SS_LEFT | SS_NOPREFIX, hwnd_, -1, 12, 10, Width - 24, 18);
    bar_ = Control(PROGRESS_CLASSA, "", 0, hwnd_, -1, 12, 34, Width - 24, 18);
    SendMessageA(bar_, PBM_SETRANGE32, 0, LPARAM(std::min<size_t>(total_, INT_MAX)));
    Control("BUTTON", CancelCaption, WS_TABSTOP | BS_DEFPUSHBUTTON, hwnd_, IDCANCEL, (Width - 88) / 2, 66, 88, 26);
    ApplyWindowFont(hwnd_);
    if (owner_)
        EnableWindow(owner_, FALSE);
    ShowWindow(hwnd_, SW_SHOW);
}

bool TProgressForm::Step(size_t done)
{
    if (!hwnd_ && GetTickCount64() - start_ >= ShowAfter)
        Show();
    // Before the dialog is up no message is handled: a peek would also answer what other programs send
    // (a query of the list, say) in the middle of the work, which every short command keeps them from.
    if (!hwnd_)
        return true;
    MSG message;
    SetWindowTextA(label_, Label(done).c_str());
    SendMessageA(bar_, PBM_SETPOS, WPARAM(std::min<size_t>(done, INT_MAX)), 0);
    // Wide, as the program's own loop: typed text reaches each window in its own form.
    while (!cancelled_ && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) { // for the outer loop, once the work is over
            PostQuitMessage(int(message.wParam));
            break;
        }
        if (!IsDialogMessageW(hwnd_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return !cancelled_;
}

LRESULT CALLBACK TProgressForm::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* form = WindowObject<TProgressForm>(hwnd, message, lParam);
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL && form)
            form->cancelled_ = true;
        return 0;
    case WM_CLOSE:
        if (form)
            form->cancelled_ = true;
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

} // namespace vorlane
