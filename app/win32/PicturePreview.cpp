#include "app/win32/PicturePreview.h"

#include <algorithm>
#include <cstdio>

#include <commctrl.h>

#include "app/MainWindowLayout.h"
#include "app/win32/Dpi.h"
#include "app/win32/WideText.h"
#include "app/win32/WindowClass.h"
#include "app/win32/WindowFont.h"
#include "image/BmpFile.h"
#include "image/Jpeg.h"
#include "image/PictureDecoder.h"
#include "platform/Exceptions.h"

namespace vorlane {
namespace {

const int PanelWidth = PicturePreviewDesign.PanelWidth;
const int PreviewBorder = PicturePreviewDesign.PreviewBorder;
constexpr int PreviewButtonId = 0x4C01;
constexpr int SizeLabelId = 0x4C02;
constexpr const char* AreaClass = "TPreviewArea";
constexpr const char* WindowClass = "TPreviewForm";

PicturePreviewPanel* PanelOf(HWND window)
{
    return reinterpret_cast<PicturePreviewPanel*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT CALLBACK AreaProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK PreviewWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

void RegisterClasses()
{
    RegisterWindowClass(AreaClass, AreaProc, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW);
    RegisterWindowClass(WindowClass, PreviewWindowProc, CS_HREDRAW | CS_VREDRAW);
}

void PaintNothing(HDC dc, const RECT& area)
{
    RECT box = area;
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = SelectObject(dc, WindowFont());
    DrawTextA(dc, PicturePreviewDesign.NoPictureText, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
}

LRESULT CALLBACK AreaProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        RECT client;
        GetClientRect(hwnd, &client);
        const PicturePreviewPanel* panel = PanelOf(hwnd);
        if (panel && !panel->Picture().Empty())
            DrawPicture(dc, client, panel->Picture(), false);
        else
            PaintNothing(dc, client);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_LBUTTONDBLCLK:
        if (PicturePreviewPanel* panel = PanelOf(hwnd); panel && !panel->Picture().Empty())
            SendMessageA(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(PreviewButtonId, BN_CLICKED), 0);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

struct PreviewWindowState {
    const Bitmap* picture;
    bool closed = false;
};

LRESULT CALLBACK PreviewWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = WindowObject<PreviewWindowState>(hwnd, message, lParam);
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        RECT inside;
        GetClientRect(hwnd, &inside);
        InflateRect(&inside, -PreviewBorder, -PreviewBorder);
        if (state && inside.right > inside.left && inside.bottom > inside.top)
            DrawPicture(dc, inside, *state->picture, true);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE)
            DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        if (state)
            state->closed = true;
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

} // namespace

Bitmap LoadPreviewPicture(const std::string& path)
{
    try {
        // A picture of the other formats (where the build reads them) is known by its first bytes.
        if (PreviewFormatOf(path) != PreviewFormat::Bitmap)
            if (Bitmap picture = DecodeRecognisedPictureFile(path, MakeRgb(255, 255, 255)); !picture.Empty())
                return picture;
        switch (PreviewFormatOf(path)) {
        case PreviewFormat::Bitmap:
            return ReadBmpFile(path);
        case PreviewFormat::Jpeg:
            return DecodeUprightJpegFile(path, 24);
        case PreviewFormat::None:
            break;
        }
    } catch (const std::exception&) {
        // Not a picture after all: the panel shows none.
    }
    return {};
}

void DrawPicture(HDC dc, const RECT& area, const Bitmap& picture, bool stretch)
{
    const Bitmap shown = picture.BitsPerPixel() == 24 ? Bitmap() : picture.ConvertedTo(24);
    const Bitmap& rows = picture.BitsPerPixel() == 24 ? picture : shown;
    const int areaWidth = area.right - area.left, areaHeight = area.bottom - area.top;
    int width = rows.Width(), height = rows.Height();
    if (stretch) {
        width = areaWidth;
        height = areaHeight;
    } else if (width > areaWidth || height > areaHeight) {
        const double scale = std::min(double(areaWidth) / width, double(areaHeight) / height);
        width = std::max(1, int(width * scale));
        height = std::max(1, int(height * scale));
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = rows.Width();
    info.bmiHeader.biHeight = -rows.Height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchDIBits(dc, area.left + (areaWidth - width) / 2, area.top + (areaHeight - height) / 2, width, height, 0, 0,
                  rows.Width(), rows.Height(), rows.Pixels().data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

void PicturePreviewPanel::Attach(OPENFILENAMEW& settings)
{
    settings.Flags |= OFN_ENABLEHOOK;
    settings.lpfnHook = Hook;
    settings.lCustData = LPARAM(this);
}

UINT_PTR CALLBACK PicturePreviewPanel::Hook(HWND child, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(child, GWLP_USERDATA, LONG_PTR(reinterpret_cast<OPENFILENAMEW*>(lParam)->lCustData));
        return 0;
    }
    auto* panel = reinterpret_cast<PicturePreviewPanel*>(GetWindowLongPtrA(child, GWLP_USERDATA));
    if (!panel || message != WM_NOTIFY)
        return 0;
    const auto* notice = reinterpret_cast<const OFNOTIFYW*>(lParam);
    if (notice->hdr.code == CDN_INITDONE) {
        panel->Create(GetParent(child));
    } else if (notice->hdr.code == CDN_SELCHANGE) {
        wchar_t path[MAX_PATH * 2] = {};
        if (SendMessageW(GetParent(child), CDM_GETFILEPATH, MAX_PATH * 2, LPARAM(path)) <= 0)
            path[0] = L'\0';
        // A name the code page cannot express names no file the program can open: no picture.
        std::string shown;
        try {
            shown = SystemText(path);
        } catch (const Exception&) {
        }
        panel->ShowFile(shown);
    }
    return 0;
}

// The panel goes beside the dialog's own controls: the dialog is widened by the panel's width.
void PicturePreviewPanel::Create(HWND dialog)
{
    RegisterClasses();
    dialog_ = dialog;
    RECT frame, client;
    GetWindowRect(dialog, &frame);
    GetClientRect(dialog, &client);
    // The common dialog is the system's, drawn at the screen's DPI; the panel's sizes follow it.
    SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left + Scaled(PanelWidth), frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    const int left = client.right + Scaled(4), top = Scaled(10), width = Scaled(PanelWidth - 14);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    SizeLabel =
        CreateWindowExA(0, "STATIC", PicturePreviewDesign.NoPictureLabel, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                        left, top, width - Scaled(28), Scaled(18), dialog, HMENU(INT_PTR(SizeLabelId)), instance,
                        nullptr);
    PreviewButton =
        CreateWindowExA(0, "BUTTON", "...", WS_CHILD | WS_VISIBLE | WS_DISABLED | BS_PUSHBUTTON,
                        left + width - Scaled(23), top - Scaled(2), Scaled(23), Scaled(22), dialog,
                        HMENU(INT_PTR(PreviewButtonId)), instance, nullptr);
    Area = CreateWindowExA(WS_EX_STATICEDGE, AreaClass, "", WS_CHILD | WS_VISIBLE, left, top + Scaled(24), width,
                           client.bottom - top - Scaled(24 + 40), dialog, nullptr, instance, nullptr);
    SetWindowLongPtrA(Area, GWLP_USERDATA, LONG_PTR(this));
    SendMessageA(SizeLabel, WM_SETFONT, WPARAM(WindowFont()), FALSE);
    // The button's hint, as a tool tip.
    HWND tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr, instance, nullptr);
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = dialog;
    tool.uId = UINT_PTR(PreviewButton);
    tool.lpszText = const_cast<char*>(PicturePreviewDesign.Preview);
    SendMessageA(tip, TTM_ADDTOOLA, 0, LPARAM(&tool));
    // The button's clicks reach the dialog, whose procedure is the system's: follow them there.
    SetWindowSubclass(
        dialog,
        [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) -> LRESULT {
            if (message == WM_COMMAND && LOWORD(wParam) == PreviewButtonId && HIWORD(wParam) == BN_CLICKED) {
                reinterpret_cast<PicturePreviewPanel*>(self)->OpenPreviewWindow();
                return 0;
            }
            return DefSubclassProc(hwnd, message, wParam, lParam);
        },
        1, DWORD_PTR(this));
}

void PicturePreviewPanel::ShowFile(const std::string& path)
{
    picture_ = path.empty() ? Bitmap() : LoadPreviewPicture(path);
    if (picture_.Empty()) {
        SetWindowTextA(SizeLabel, PicturePreviewDesign.NoPictureLabel);
    } else {
        char size[64];
        std::snprintf(size, sizeof size, PicturePreviewDesign.SizeLabel, picture_.Width(), picture_.Height());
        SetWindowTextA(SizeLabel, size);
    }
    EnableWindow(PreviewButton, !picture_.Empty());
    InvalidateRect(Area, nullptr, TRUE);
}

void PicturePreviewPanel::OpenPreviewWindow()
{
    if (!picture_.Empty())
        ShowPreviewWindow(picture_, dialog_);
}

void ShowPreviewWindow(const Bitmap& picture, HWND owner)
{
    RegisterClasses();
    constexpr DWORD style = WS_OVERLAPPEDWINDOW & ~(WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
    constexpr DWORD exStyle = WS_EX_TOOLWINDOW;
    RECT frame{0, 0, picture.Width() + 2 * PreviewBorder, picture.Height() + 2 * PreviewBorder};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    PreviewWindowState state{&picture};
    HWND window = CreateWindowExA(
        exStyle, WindowClass, PicturePreviewDesign.Preview, style, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
        (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, owner, nullptr, GetModuleHandleA(nullptr), &state);
    if (!window)
        return;
    if (owner)
        EnableWindow(owner, FALSE);
    ShowWindow(window, SW_SHOW);
    MSG message;
    while (!state.closed && GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (!state.closed) {
        PostQuitMessage(int(message.wParam));
        DestroyWindow(window);
    }
    if (owner) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
}

} // namespace vorlane
