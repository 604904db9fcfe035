// The main window's menu bar, built from the layout (app/MainWindowLayout.h), and the WM_COMMAND
// identifiers its items and the tool buttons send.
#pragma once

#include <windows.h>

#include <vector>

#include "app/MainWindowLayout.h"

namespace vorlane {

// The WM_COMMAND identifier of a button or item, and the control an identifier stands for.
inline int CommandId(MainWindowControl control)
{
    return FirstCommandId + int(control);
}
inline MainWindowControl ControlOfCommand(int id)
{
    return MainWindowControl(id - FirstCommandId);
}

struct TMainMenu {
    HMENU MainMenu1 = nullptr;
    std::vector<HMENU> Menus; // in the layout's order
};

// The menu bar with its menus; the window it is given to destroys it.
TMainMenu CreateMainMenu();

// Puts the check mark on `control`'s item of the menu bar or takes it away.
void CheckMenuItem(const TMainMenu& menu, MainWindowControl control, bool checked);

} // namespace vorlane
