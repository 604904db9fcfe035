// A tiled wallpaper as Windows shows it, repeated from the top-left corner of the whole desktop, for
// desktops whose own tiling starts elsewhere (Plasma's at the centre of each screen): the tiling itself
// is drawn here into a picture of one screen's size, which the desktop shows at its own size. The
// pictures live in Vorlane's data folder, named after their content, so a changed tiling is a new name
// to a desktop that keeps pictures by their names.
#pragma once

#include <string>
#include <vector>

#include "wallpaper/ScaledPicture.h"

namespace vorlane {

// The folder of the tiling pictures: $XDG_DATA_HOME/vorlane/tilings/ (or ~/.local/share/...), with a
// trailing "/"; empty when neither variable is set.
std::string TilingPictureFolder();

// Writes the bitmap file `path` tiled from the desktop's top-left corner as `area` (desktop pixels) shows
// it, and returns the written file; empty when the file cannot be read, the area is empty or larger than
// 16384 pixels a side, nothing can be written, or the file's name is not plain (NameReader::PlainWord):
// every desktop takes it as it is, and it never needs a link of PictureNameFor, which would drop the
// link of the picture itself. Other tiling pictures than those in `keep`, this one and the one written
// last before it are removed: only the tiling shown is kept, and the one shown before while it goes.
std::string WriteTilingPicture(const std::string& path, const PixelRect& area,
                               const std::vector<std::string>& keep = {});

} // namespace vorlane
