#include "app/MainWindowLayout.h"

#include <cstring>

#include "app/MainWindowCommands.h"
#include "image/PictureDecoder.h"
#include "platform/Path.h"

namespace vorlane {
namespace {

using C = MainWindowControl;
using M = MainWindowCommands;

constexpr ToolButtonLayout Buttons[] = {
    {C::OpenImageButton, "画像読込", "画像を読み込む(複数可)", 0, true, &M::OpenImageButtonClick},
    {C::WallButton, "壁紙", "壁紙にする", 1, true, &M::WallButtonClick},
    {C::ToolButton1, "削除", "画像削除", 2, true, &M::ToolButton1Click},
    // The window shows no hints, and this button follows it.
    {C::ToolButton2, "画集読込", "画集を読み込む", 3, false, &M::ToolButton2Click},
};

constexpr MenuItemLayout FileItems[] = {
    {C::N1, "新規画集(&N)", &M::N1Click},           {C::L1, "画集読込(&L)", &M::L1Click},
    {C::R1, "画集の名前を変える(&R)", &M::R1Click}, {C::G1, "画像読込(&G)", &M::G1Click},
    {C::D1, "画像削除(&D)", &M::D1Click},
};

constexpr MenuItemLayout WallpaperItems[] = {
    {C::X1, "壁紙に設定(&X)", &M::X1Click},
    {C::N2, "-"},
    {C::CentC, "画像を中央に(&C)", &M::CentCClick, true},
    {C::TileV, "画像を並べて(&V)", &M::TileVClick, true},
    // Beyond the desktop's own two: the picture scaled to the screen.
    {C::N3, "-"},
    {C::FillF, "画像で埋める(&F)", &M::FillFClick, true},
    {C::FitT, "画像を画面に合わせる(&T)", &M::FitTClick, true},
    {C::StretchS, "画像を引き伸ばす(&S)", &M::StretchSClick, true},
    {C::SpanP, "画像を全ﾓﾆﾀに広げる(&P)", &M::SpanPClick, true},
};

constexpr PlacementItemLayout Placements[] = {
    {WallpaperPlacement::Centred, C::CentC},    {WallpaperPlacement::Tiled, C::TileV},
    {WallpaperPlacement::Fill, C::FillF},       {WallpaperPlacement::Fit, C::FitT},
    {WallpaperPlacement::Stretch, C::StretchS}, {WallpaperPlacement::Span, C::SpanP},
};

constexpr MenuItemLayout ScreenSaverItems[] = {
    {C::A1, "画集の設定(&A)", &M::A1Click},
    {C::B1, "画集の解除(&B)", &M::B1Click},
};

constexpr MenuLayout Menus[] = {
    {C::F1, "ファイル(&F)", FileItems},
    {C::KabeW1, "壁紙(&W)", WallpaperItems, &M::KabeW1Click}, // the check marks as it opens
    {C::s1, "ｽｸﾘｰﾝｾｰﾊﾞ(&S)", ScreenSaverItems},
};

} // namespace

const TOpenDialog OpenImageDesign = [] {
    TOpenDialog dialog;
    // The JPEG choice shows every name ending in "jpg", with or without a dot before it.
    dialog.Filter = "ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp|JPEG(*.jpg)|*jpg";
    // Then every picture read: the names bitmaps and JPEG go by, and those of the other formats.
    dialog.Filter += "|すべての画像|*.bmp;*.jpg;*.jpeg;*.jpe;*.jfif";
    for (const PictureFormat& format : PictureFormats())
        dialog.Filter += std::string(";") + format.extensions;
    dialog.FilterIndex = 1;
    dialog.AllowMultiSelect = true;
    dialog.FileMustExist = true;
    dialog.Sizable = false;
    dialog.PicturePreview = true;
    return dialog;
}();

const TOpenDialog OpengskDesign = [] {
    TOpenDialog dialog;
    dialog.Filter = "画集|*.gsk";
    dialog.Sizable = true;
    return dialog;
}();

const PicturePreviewLayout PicturePreviewDesign{"画像:", " (%dx%d)", "(なし)", "プレビュー", 180, 5};

PreviewFormat PreviewFormatOf(const std::string& path)
{
    const std::string extension = path::AsciiLowerCase(path::ExtractFileExt(path));
    if (extension == ".bmp")
        return PreviewFormat::Bitmap;
    if (extension == ".jpg" || extension == ".jpeg" || extension == ".jpe" || extension == ".jfif")
        return PreviewFormat::Jpeg;
    return PreviewFormat::None;
}

const char* const WindowFontName = "ＭＳ Ｐゴシック";

const GskFormLayout GskFormDesign{
    "GskForm",
    {192, 279, 173, 96},
    {"画集の名前を入力してください", {8, 8, 152, 12}},
    {"", {8, 24, 153, 20}},
    {"OK", {8, 56, 73, 25}},
    {"キャンセル", {88, 56, 73, 25}},
};

bool MenuItemLayout::IsSeparator() const
{
    return std::strcmp(Caption, "-") == 0;
}

std::span<const ToolButtonLayout> ToolButtons()
{
    return Buttons;
}

std::span<const MenuLayout> MainMenu()
{
    return Menus;
}

std::span<const PlacementItemLayout> PlacementItems()
{
    return Placements;
}

MainWindowCommand CommandOf(MainWindowControl control)
{
    for (const ToolButtonLayout& button : Buttons)
        if (button.Control == control)
            return button.Click;
    for (const MenuLayout& menu : Menus)
        for (const MenuItemLayout& item : menu.Items)
            if (item.Control == control)
                return item.Click;
    return nullptr;
}

} // namespace vorlane
