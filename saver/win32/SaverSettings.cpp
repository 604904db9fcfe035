#include "saver/win32/SaverSettings.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

#include "platform/DisplayName.h"
#include "platform/Exceptions.h"
#include "platform/Profile.h"
#include "saver/SaverGallery.h"
#include "saver/win32/SaverResources.h"

namespace vorlane::saver {
namespace {

constexpr const char* Section = "ScreenSaver";

constexpr const char* Caption = "Vorlane スクリーンセーバーの設定";
constexpr const char* GalleryText = "表示する画集: %s\r\n(画集は Vorlane16 の「ｽｸﾘｰﾝｾｰﾊﾞ」メニューで選びます)";
constexpr const char* DelayText = "1 枚を表示する秒数(&D):";
constexpr const char* RandomText = "順不同に表示する(&R)";
constexpr const char* CancelText = "キャンセル";
constexpr const char* WrongDelayText = "表示する秒数は 0.1 から 86400 までの数で入力してください。";

// "10" for 10 seconds, "2.5" for 2.5: the shortest text that reads back as the same number.
std::string SecondsText(double seconds)
{
    char text[32];
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, seconds);
        if (std::strtod(text, nullptr) == seconds)
            break;
    }
    return text;
}

std::string ItemText(HWND dialog, int id)
{
    HWND item = GetDlgItem(dialog, id);
    std::vector<char> text(size_t(GetWindowTextLengthA(item)) + 1, '\0');
    const int length = GetWindowTextA(item, text.data(), int(text.size()));
    return std::string(text.data(), size_t(length > 0 ? length : 0));
}

void Initialise(HWND dialog)
{
    SetWindowTextA(dialog, Caption);
    SetDlgItemTextA(dialog, IDC_GALLERY, Format(GalleryText, display::FileName(SaverGalleryName()).c_str()).c_str());
    SetDlgItemTextA(dialog, IDC_DELAY_LABEL, DelayText);
    SetDlgItemTextA(dialog, IDC_RANDOM, RandomText);
    SetDlgItemTextA(dialog, IDCANCEL, CancelText);
    const Options options = ReadSaverOptions([](const std::string&) {});
    SetDlgItemTextA(dialog, IDC_DELAY, SecondsText(options.delaySeconds).c_str());
    CheckDlgButton(dialog, IDC_RANDOM, options.random ? BST_CHECKED : BST_UNCHECKED);
}

// OK: the settings are stored and the dialog closes; a delay that cannot be used is asked for again.
void Confirm(HWND dialog)
{
    Options options;
    try {
        options.delaySeconds = ParseDelaySeconds(ItemText(dialog, IDC_DELAY));
    } catch (const UsageError&) {
        MessageBoxA(dialog, WrongDelayText, Caption, MB_OK | MB_ICONWARNING);
        SetFocus(GetDlgItem(dialog, IDC_DELAY));
        SendDlgItemMessageA(dialog, IDC_DELAY, EM_SETSEL, 0, -1);
        return;
    }
    options.random = IsDlgButtonChecked(dialog, IDC_RANDOM) == BST_CHECKED;
    try {
        WriteSaverOptions(options);
    } catch (const std::exception& error) {
        MessageBoxA(dialog, error.what(), Caption, MB_OK | MB_ICONERROR);
        return;
    }
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        Initialise(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            Confirm(dialog);
        else if (LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

Options ReadSaverOptions(const std::function<void(const std::string& line)>& report)
{
    const TIniFile settings(SettingsFileName);
    Options options;
    if (const std::string delay = settings.ReadString(Section, "Delay", ""); !delay.empty()) {
        try {
            options.delaySeconds = ParseDelaySeconds(delay);
        } catch (const UsageError& error) {
            report(std::string("Vorlane.ini [ScreenSaver] Delay: ") + error.what());
        }
    }
    options.random = settings.ReadString(Section, "Random", "0") == "1";
    return options;
}

void WriteSaverOptions(const Options& options)
{
    TIniFile settings(SettingsFileName);
    settings.WriteString(Section, "Delay", SecondsText(options.delaySeconds));
    settings.WriteString(Section, "Random", options.random ? "1" : "0");
}

void RunSaverSettings(HWND owner)
{
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETTINGS), IsWindow(owner) ? owner : nullptr,
                    DialogProcedure, 0);
}

} // namespace vorlane::saver
