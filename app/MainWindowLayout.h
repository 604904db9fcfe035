// The two windows as the user sees them, apart from any toolkit: the main window's place and caption at
// design, its tool buttons and menus with the command each one runs, its font, and the gallery-name
// dialog's controls. Each front end builds its widgets from these tables, so every text stands here once.
#pragma once

#include <span>
#include <string>

#include "app/Dialogs.h"
#include "app/MainWindowFrontEnd.h"
#include "wallpaper/Placement.h"

namespace vorlane {

class MainWindowCommands;

// What a tool button or menu item runs: one command of the window.
using MainWindowCommand = void (MainWindowCommands::*)();

// The controls that run commands, by their names in the layout. The Windows front end sends each item
// and button as the WM_COMMAND identifier FirstCommandId + its value; programs that drive the window
// rely on these numbers, so the values stay as they are.
enum class MainWindowControl : int {
    N1 = 0,
    L1 = 1,
    R1 = 2,
    G1 = 3,
    D1 = 4, // ファイル(&F)
    X1 = 5,
    CentC = 6,
    TileV = 7, // 壁紙(&W)
    A1 = 8,
    B1 = 9, // ｽｸﾘｰﾝｾｰﾊﾞ(&S)
    OpenImageButton = 10,
    WallButton = 11,
    ToolButton1 = 12,
    ToolButton2 = 13,
    N2 = 14, // the separator line, which sends nothing
    F1 = 15,
    KabeW1 = 16,
    s1 = 17, // the menus themselves
    N3 = 18,
    FillF = 19,
    FitT = 20,
    StretchS = 21,
    SpanP = 22, // 壁紙(&W): the scaled placements
};
inline constexpr int FirstCommandId = 1001;

// The caption the window is created with, until its first showing.
inline constexpr const char* DesignCaption = "Quorvel Vorlane  Ver1.6";
// The window's place at design (replaced at first showing by the gallery's).
inline constexpr WindowRect DesignPlace{296, 105, 510, 401};
inline constexpr int ToolButtonWidth = 55, ToolButtonHeight = 51, ToolBarHeight = 55;
inline constexpr int ButtonPictureSize = 32, ButtonPictureCount = 5;
inline constexpr int StatusBarHeight = 19;

// The main window's dialogs as they are set at creation: OpenImage for pictures (bitmaps and JPEG,
// several at a time, with a preview), Opengsk for galleries (a typed name need not exist).
extern const TOpenDialog OpenImageDesign;
extern const TOpenDialog OpengskDesign;

// The picture dialog's panel beside the open-file dialog, and the preview window its button opens.
struct PicturePreviewLayout {
    const char* NoPictureLabel; // the size label while the selected file is no picture
    const char* SizeLabel;      // the size label's format: the picture's width and height
    const char* NoPictureText;  // centred in the preview area while no picture is shown
    const char* Preview;        // the button's hint and the preview window's caption
    int PanelWidth;
    int PreviewBorder; // around the picture in the preview window
};
extern const PicturePreviewLayout PicturePreviewDesign;

// How the preview reads a file, chosen by its extension as the picture dialog's filter names them.
enum class PreviewFormat { None, Bitmap, Jpeg };
PreviewFormat PreviewFormatOf(const std::string& path);

// Both windows' font, 12 pixels high, no style, Shift_JIS character set.
extern const char* const WindowFontName;
inline constexpr int WindowFontHeight = 12;

struct ToolButtonLayout {
    MainWindowControl Control;
    const char* Caption;
    const char* Hint; // kept with the button; shown as a tool tip only where ShowHint lets it
    int Image;        // in the button image list
    bool ShowHint;
    MainWindowCommand Click;
};

struct MenuItemLayout {
    MainWindowControl Control;
    const char* Caption; // "&" marks the access key; "-" is a separator line
    MainWindowCommand Click = nullptr;
    bool Checkable = false;

    bool IsSeparator() const;
};

struct MenuLayout {
    MainWindowControl Control;
    const char* Caption;
    std::span<const MenuItemLayout> Items;
    MainWindowCommand Open = nullptr; // run as the menu opens
};

// The tool bar's buttons, left to right, and the menu bar's menus with their items, top to bottom. Items
// carry access keys only, no shortcut keys.
std::span<const ToolButtonLayout> ToolButtons();
std::span<const MenuLayout> MainMenu();
// What the button or item runs; null for a separator or a menu.
MainWindowCommand CommandOf(MainWindowControl control);

// The wallpaper menu's check items, one for each placement; one check mark goes over all of them.
struct PlacementItemLayout {
    WallpaperPlacement Placement;
    MainWindowControl Control;
};
std::span<const PlacementItemLayout> PlacementItems();

// A control of a dialog: its text and its place in the dialog's client area.
struct DialogControlLayout {
    const char* Text;
    WindowRect Place;
};

// The gallery-name dialog: a fixed-size frame whose client area is at Place on the screen.
struct GskFormLayout {
    const char* Caption;
    WindowRect Place;
    DialogControlLayout Label1;
    DialogControlLayout GskEdit; // empty at creation
    DialogControlLayout BitBtn1; // OK: default button, modal result mrOk
    DialogControlLayout BitBtn2; // Cancel: Escape and the frame's close box too, modal result mrCancel
};
extern const GskFormLayout GskFormDesign;

} // namespace vorlane
