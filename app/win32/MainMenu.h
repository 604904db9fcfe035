// The main window's menu bar and the identifiers its items and the tool buttons send. Items carry
// access keys only, no shortcut keys.
#pragma once

#include <windows.h>

namespace vorlane {

// WM_COMMAND identifiers, one per item of the layout.
enum MenuCommand : int {
    cmN1 = 1001, cmL1, cmR1, cmG1, cmD1,   // ファイル(&F)
    cmX1, cmCentC, cmTileV,                // 壁紙(&W)
    cmA1, cmB1,                            // ｽｸﾘｰﾝｾｰﾊﾞ(&S)
    cmOpenImageButton, cmWallButton, cmToolButton1, cmToolButton2,
};

struct TMainMenu {
    HMENU MainMenu1;
    HMENU F1;
    HMENU KabeW1;
    HMENU s1;
};

// The menu bar with its three menus; the window it is given to destroys it.
TMainMenu CreateMainMenu();

// Puts the check mark on `item` of `menu` or takes it away.
void CheckMenuItem(HMENU menu, int item, bool checked);

} // namespace vorlane
