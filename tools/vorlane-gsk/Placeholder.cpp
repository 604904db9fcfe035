#include "tools/vorlane-gsk/Placeholder.h"

#include "gallery/Thumbnail.h"

namespace vorlane::gsk {
namespace {

// The sheet's box and the size of its folded top-right corner.
constexpr int Left = 6, Top = 2, Right = 25, Bottom = 29, Fold = 7;

enum class Part { Outside, Edge, Paper, Flap };

Part PartAt(int x, int y)
{
    if (x < Left || x > Right || y < Top || y > Bottom)
        return Part::Outside;
    // The fold: the corner beyond the diagonal is cut away, the triangle inside it is the turned-down flap.
    const int intoCorner = (x - (Right - Fold)) - (y - Top); // > 0 beyond the diagonal
    if (x > Right - Fold && y < Top + Fold) {
        if (intoCorner > 0)
            return Part::Outside;
        if (intoCorner == 0 || x == Right - Fold || y == Top + Fold)
            return Part::Edge;
        return Part::Flap;
    }
    if (x == Left || x == Right || y == Top || y == Bottom)
        return Part::Edge;
    return Part::Paper;
}

} // namespace

Bitmap PlaceholderImage()
{
    Bitmap image(ThumbnailSize, ThumbnailSize, 24);
    for (int y = 0; y < ThumbnailSize; ++y)
        for (int x = 0; x < ThumbnailSize; ++x) {
            Rgb colour = MakeRgb(255, 255, 255); // transparent pixels are white too, like the window's
            switch (PartAt(x, y)) {
            case Part::Edge:
                colour = MakeRgb(96, 96, 96);
                break;
            case Part::Flap:
                colour = MakeRgb(208, 208, 208);
                break;
            case Part::Paper:
                // A few grey lines suggest writing on the sheet.
                if (y >= Top + 11 && y <= Bottom - 4 && (y - Top) % 4 == 3 && x >= Left + 3 && x <= Right - 3)
                    colour = MakeRgb(176, 176, 176);
                break;
            case Part::Outside:
                break;
            }
            image.SetPixelRgb(x, y, colour);
        }
    return image;
}

Bitmap PlaceholderMask()
{
    Bitmap mask(ThumbnailSize, ThumbnailSize, 1);
    mask.Palette() = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};
    for (int y = 0; y < ThumbnailSize; ++y)
        for (int x = 0; x < ThumbnailSize; ++x)
            mask.SetPixelValue(x, y, PartAt(x, y) == Part::Outside ? 1 : 0);
    return mask;
}

} // namespace vorlane::gsk
