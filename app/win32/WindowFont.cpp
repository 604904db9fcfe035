#include "app/win32/WindowFont.h"

#include "app/MainWindowLayout.h"
#include "app/win32/Dpi.h"

namespace vorlane {

HFONT WindowFont()
{
    static const HFONT font =
        CreateFontA(-Scaled(WindowFontHeight), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS, WindowFontName);
    return font;
}

void ApplyWindowFont(HWND window)
{
    SendMessageA(window, WM_SETFONT, WPARAM(WindowFont()), FALSE);
    EnumChildWindows(
        window,
        [](HWND child, LPARAM) -> BOOL {
            SendMessageA(child, WM_SETFONT, WPARAM(WindowFont()), FALSE);
            return TRUE;
        },
        0);
}

} // namespace vorlane
