#include "app/win32/Dpi.h"

#include <windows.h>

namespace vorlane {

int SystemDpi()
{
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        const int found = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
        if (screen)
            ReleaseDC(nullptr, screen);
        return found > 0 ? found : USER_DEFAULT_SCREEN_DPI;
    }();
    return dpi;
}

int Scaled(int pixels)
{
    return MulDiv(pixels, SystemDpi(), USER_DEFAULT_SCREEN_DPI);
}

int Unscaled(int pixels)
{
    return MulDiv(pixels, USER_DEFAULT_SCREEN_DPI, SystemDpi());
}

WindowRect Scaled(const WindowRect& area)
{
    return {Scaled(area.Left), Scaled(area.Top), Scaled(area.Width), Scaled(area.Height)};
}

WindowRect Unscaled(const WindowRect& area)
{
    return {Unscaled(area.Left), Unscaled(area.Top), Unscaled(area.Width), Unscaled(area.Height)};
}

} // namespace vorlane
