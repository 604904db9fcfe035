#include "app/win32/MainMenu.h"

namespace vorlane {

TMainMenu CreateMainMenu()
{
    TMainMenu menu{CreateMenu(), CreatePopupMenu(), CreatePopupMenu(), CreatePopupMenu()};
    AppendMenuA(menu.F1, MF_STRING, cmN1, "新規画集(&N)");
    AppendMenuA(menu.F1, MF_STRING, cmL1, "画集読込(&L)");
    AppendMenuA(menu.F1, MF_STRING, cmR1, "画集の名前を変える(&R)");
    AppendMenuA(menu.F1, MF_STRING, cmG1, "画像読込(&G)");
    AppendMenuA(menu.F1, MF_STRING, cmD1, "画像削除(&D)");

    AppendMenuA(menu.KabeW1, MF_STRING, cmX1, "壁紙に設定(&X)");
    AppendMenuA(menu.KabeW1, MF_SEPARATOR, 0, nullptr); // N2
    AppendMenuA(menu.KabeW1, MF_STRING, cmCentC, "画像を中央に(&C)");
    AppendMenuA(menu.KabeW1, MF_STRING, cmTileV, "画像を並べて(&V)");

    AppendMenuA(menu.s1, MF_STRING, cmA1, "画集の設定(&A)");
    AppendMenuA(menu.s1, MF_STRING, cmB1, "画集の解除(&B)");

    AppendMenuA(menu.MainMenu1, MF_POPUP, UINT_PTR(menu.F1), "ファイル(&F)");
    AppendMenuA(menu.MainMenu1, MF_POPUP, UINT_PTR(menu.KabeW1), "壁紙(&W)");
    AppendMenuA(menu.MainMenu1, MF_POPUP, UINT_PTR(menu.s1), "ｽｸﾘｰﾝｾｰﾊﾞ(&S)");
    return menu;
}

void CheckMenuItem(HMENU menu, int item, bool checked)
{
    ::CheckMenuItem(menu, UINT(item), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

} // namespace vorlane
