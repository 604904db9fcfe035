// How the wallpaper sits on the screen. Centred and tiled are the desktop's own two; fill, fit, stretch
// and span scale the picture. They are recorded as Windows records them: "TileWallPaper" "1" tiles, and
// otherwise "WallpaperStyle" chooses ("0" or missing centres).
#pragma once

#include <optional>
#include <string_view>

namespace vorlane {

enum class WallpaperPlacement {
    Centred, // at its own size in the middle of each monitor
    Tiled,   // repeated from the top-left corner of the screen
    Fill,    // scaled to cover each monitor, its middle kept, cut at the edges
    Fit,     // scaled to fit each monitor whole, black around
    Stretch, // scaled to each monitor, proportions changed
    Span,    // one picture over all monitors: fill over their bounding box
};

inline constexpr WallpaperPlacement AllPlacements[] = {
    WallpaperPlacement::Centred, WallpaperPlacement::Tiled,   WallpaperPlacement::Fill,
    WallpaperPlacement::Fit,     WallpaperPlacement::Stretch, WallpaperPlacement::Span,
};

// Whether the picture is scaled to the screen rather than shown at its own size.
inline constexpr bool IsScaled(WallpaperPlacement placement)
{
    return placement != WallpaperPlacement::Centred && placement != WallpaperPlacement::Tiled;
}

// The "WallpaperStyle" number of a placement: 0 for centred and tiled (then "TileWallPaper" tells them
// apart), 2 stretch, 6 fit, 10 fill, 22 span.
inline constexpr int WallpaperStyleOf(WallpaperPlacement placement)
{
    switch (placement) {
    case WallpaperPlacement::Stretch:
        return 2;
    case WallpaperPlacement::Fit:
        return 6;
    case WallpaperPlacement::Fill:
        return 10;
    case WallpaperPlacement::Span:
        return 22;
    default:
        return 0;
    }
}

// The placement "TileWallPaper" and "WallpaperStyle" record. Tiling wins, as the desktop's own tiling
// state does; a style that is none of the known numbers centres.
inline constexpr WallpaperPlacement PlacementOf(bool tile, int style)
{
    if (tile)
        return WallpaperPlacement::Tiled;
    for (const WallpaperPlacement placement : AllPlacements)
        if (IsScaled(placement) && WallpaperStyleOf(placement) == style)
            return placement;
    return WallpaperPlacement::Centred;
}

// Its English name, as the command line takes and shows it: "centred", "tiled", "fill", ...
inline constexpr std::string_view PlacementName(WallpaperPlacement placement)
{
    constexpr std::string_view Names[] = {"centred", "tiled", "fill", "fit", "stretch", "span"};
    return Names[static_cast<int>(placement)];
}

} // namespace vorlane
