#include "app/win32/MainMenu.h"

namespace vorlane {

TMainMenu CreateMainMenu()
{
    TMainMenu bar{CreateMenu(), {}};
    for (const MenuLayout& layout : MainMenu()) {
        HMENU menu = CreatePopupMenu();
        for (const MenuItemLayout& item : layout.Items) {
            if (item.IsSeparator())
                AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            else
                AppendMenuA(menu, MF_STRING, UINT_PTR(CommandId(item.Control)), item.Caption);
        }
        AppendMenuA(bar.MainMenu1, MF_POPUP, UINT_PTR(menu), layout.Caption);
        bar.Menus.push_back(menu);
    }
    return bar;
}

void CheckMenuItem(const TMainMenu& menu, MainWindowControl control, bool checked)
{
    ::CheckMenuItem(menu.MainMenu1, UINT(CommandId(control)), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

} // namespace vorlane
