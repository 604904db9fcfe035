// The screen saver's gallery: "Saver" in section "Initial" of "Vorlane.ini" names it (the window's
// 画集の設定 writes it); "Default" (画集の解除), or no value, means the current gallery, "Manager".
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "wallpaper/Placement.h"

namespace vorlane::saver {

struct SaverGallery {
    std::string name;                  // the gallery's ManagerName
    std::vector<std::string> pictures; // its entries, in the gallery's order
    std::string problem;               // one line saying why nothing can be shown; empty when pictures can be
};

// The ManagerName of the gallery the screen saver shows.
std::string SaverGalleryName();

// Reads that gallery's names (not its thumbnails). A missing, unreadable or empty gallery is no error:
// `problem` says which it is.
SaverGallery ReadSaverGallery();

// The recorded wallpaper placement, as vorlane-wallpaper reads it; a tiled one is fitted, as a tile of
// a photo says little on a screen saver. Centred when the record cannot be read, which `report` is told.
WallpaperPlacement SaverPlacement(const std::function<void(const std::string& line)>& report);

// The line shown when none of the gallery's pictures can be shown.
std::string NothingShownText(const std::string& galleryName);

} // namespace vorlane::saver
