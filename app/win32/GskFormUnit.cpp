#include "app/win32/GskFormUnit.h"

#include <vector>

#include "app/Dialogs.h"
#include "app/MainWindowLayout.h"
#include "app/win32/Dpi.h"
#include "app/win32/WideText.h"
#include "app/win32/WindowClass.h"
#include "app/win32/WindowFont.h"

namespace vorlane {

TGskForm* GskForm = nullptr;

namespace {

constexpr const char* ClassName = "TGskForm";
constexpr DWORD Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD ExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

HWND Control(const char* kind, const DialogControlLayout& layout, DWORD style, HWND parent, int id, DWORD exStyle = 0)
{
    const WindowRect place = Scaled(layout.Place);
    return CreateWindowExA(exStyle, kind, layout.Text, WS_CHILD | WS_VISIBLE | style, place.Left, place.Top,
                           place.Width, place.Height, parent, HMENU(INT_PTR(id)), GetModuleHandleA(nullptr), nullptr);
}

// The name box takes typed text in UTF-16, as the keyboard and input methods give it: an ANSI box, read
// by the ANSI calls, gets each double-byte character as two single bytes.
HWND UnicodeEdit(const DialogControlLayout& layout, DWORD style, HWND parent, int id)
{
    const WindowRect& place = layout.Place;
    return CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", WideText(layout.Text).c_str(), WS_CHILD | WS_VISIBLE | style,
                           place.Left, place.Top, place.Width, place.Height, parent, HMENU(INT_PTR(id)),
                           GetModuleHandleW(nullptr), nullptr);
}

} // namespace

TGskForm::TGskForm()
{
    RegisterWindowClass(ClassName, WindowProc);
    const GskFormLayout& layout = GskFormDesign;
    const WindowRect place = Scaled(layout.Place);
    RECT frame{0, 0, place.Width, place.Height};
    AdjustWindowRectEx(&frame, Style, FALSE, ExStyle);
    hwnd_ = CreateWindowExA(ExStyle, ClassName, layout.Caption, Style, place.Left, place.Top,
                            frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                            GetModuleHandleA(nullptr), this);
    Label1 = Control("STATIC", layout.Label1, SS_LEFT | SS_NOPREFIX, hwnd_, -1);
    GskEdit = UnicodeEdit(layout.GskEdit, WS_TABSTOP | ES_AUTOHSCROLL, hwnd_, 100);
    BitBtn1 = Control("BUTTON", layout.BitBtn1, WS_TABSTOP | BS_DEFPUSHBUTTON, hwnd_, IDOK);
    BitBtn2 = Control("BUTTON", layout.BitBtn2, WS_TABSTOP | BS_PUSHBUTTON, hwnd_, IDCANCEL);
    ApplyWindowFont(hwnd_);
}

TGskForm::~TGskForm()
{
    if (hwnd_)
        DestroyWindow(hwnd_);
}

std::string TGskForm::Text() const
{
    std::vector<wchar_t> buffer(size_t(GetWindowTextLengthW(GskEdit)) + 1, L'\0');
    const int length = GetWindowTextW(GskEdit, buffer.data(), int(buffer.size()));
    return SystemText(std::wstring_view(buffer.data(), size_t(length > 0 ? length : 0)));
}

int TGskForm::ShowModal(HWND owner)
{
    modalResult_ = mrNone;
    SetWindowLongPtrA(hwnd_, GWLP_HWNDPARENT, LONG_PTR(owner));
    if (owner)
        EnableWindow(owner, FALSE);
    ShowWindow(hwnd_, SW_SHOW);
    SetFocus(GskEdit);
    MSG message;
    while (modalResult_ == mrNone && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(hwnd_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (modalResult_ == mrNone) { // the loop ended: a quit message is for the outer loop
        PostQuitMessage(int(message.wParam));
        modalResult_ = mrCancel;
    }
    // The owner comes back before the dialog goes, so the activation returns to it.
    if (owner)
        EnableWindow(owner, TRUE);
    ShowWindow(hwnd_, SW_HIDE);
    return modalResult_;
}

LRESULT CALLBACK TGskForm::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* form = WindowObject<TGskForm>(hwnd, message, lParam);
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK && form)
            form->modalResult_ = mrOk;
        else if (LOWORD(wParam) == IDCANCEL && form)
            form->modalResult_ = mrCancel;
        return 0;
    case WM_CLOSE:
        if (form)
            form->modalResult_ = mrCancel;
        return 0;
    case DM_GETDEFID:
        return MAKELRESULT(IDOK, DC_HASDEFID);
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

} // namespace vorlane
