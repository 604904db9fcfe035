#include "wallpaper/PlacedPicture.h"

#include <algorithm>
#include <cmath>

namespace vorlane {

PixelRect PlaceScaledPicture(WallpaperPlacement placement, int width, int height, const PixelRect& area)
{
    if (width <= 0 || height <= 0 || area.width <= 0 || area.height <= 0)
        return {area.x, area.y, 0, 0};
    int w = area.width, h = area.height;
    if (placement != WallpaperPlacement::Stretch) {
        const double across = double(area.width) / width, down = double(area.height) / height;
        const bool cover = placement == WallpaperPlacement::Fill || placement == WallpaperPlacement::Span;
        // The side whose scale decides is the area's; the other follows, rounded.
        if ((across > down) == cover)
            h = std::max(1, int(std::lround(height * across)));
        else
            w = std::max(1, int(std::lround(width * down)));
    }
    return {area.x + (area.width - w) / 2, area.y + (area.height - h) / 2, w, h};
}

} // namespace vorlane
