// The desktop of Windows: the system-parameter call itself, which records "Wallpaper" in the registry
// (with SPIF_UPDATEINIFILE) and shows the picture with the recorded tiling, and the settings broadcast.
#include "wallpaper/Desktop.h"

#include <string>
#include <string_view>

#include "wallpaper/CWallPaper.h"

#include <windows.h>
// <windows.h> names its ANSI or wide function by this; here it is the interface's own.
#undef SystemParametersInfo

namespace vorlane {
namespace {

class WindowsDesktop final : public Desktop {
public:
    bool SystemParametersInfo(uint32_t action, uint32_t uiParam, const char* param, uint32_t winIni) override
    {
        // "（なし）" is how a removed wallpaper is recorded; the call itself takes the empty path for it.
        std::string path = param ? param : "";
        if (path == NoWallPaperText)
            path.clear();
        return ::SystemParametersInfoA(action, uiParam, path.data(), winIni) != FALSE;
    }

    void BroadcastSettingChange(const char* section) override
    {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(section), SMTO_ABORTIFHUNG,
                            5000, &result);
    }
};

} // namespace

Desktop& SystemDesktop()
{
    static WindowsDesktop desktop;
    return desktop;
}

} // namespace vorlane
