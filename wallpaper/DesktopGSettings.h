// Desktops that draw their own background from a GSettings schema and ignore the X root window: GNOME
// (org.gnome.desktop.background), Cinnamon (org.cinnamon.desktop.background) and MATE, whose caja draws
// org.mate.background. The settings are reached when the schema is installed and a session bus is
// reachable (one is never started for this).
#pragma once

#include <string>

#include "wallpaper/Placement.h"

namespace vorlane {

struct BackgroundSchema {
    const char* id;
    const char* pictureKey;     // the picture: a file URI, or for MATE a path
    const char* darkPictureKey; // the picture in the dark style (GNOME 42 and later); may be missing
    bool uri;                   // the picture keys hold file:// URIs rather than paths
};

inline constexpr BackgroundSchema GnomeBackground{"org.gnome.desktop.background", "picture-uri", "picture-uri-dark",
                                                  true};
inline constexpr BackgroundSchema CinnamonBackground{"org.cinnamon.desktop.background", "picture-uri", nullptr, true};
inline constexpr BackgroundSchema MateBackground{"org.mate.background", "picture-filename", nullptr, false};

bool BackgroundSchemaInstalled(const BackgroundSchema& schema);

// Sets the picture keys to the file and picture-options to the placement's ('centered', 'wallpaper',
// 'zoom', 'scaled', 'stretched', 'spanned'); an empty path sets picture-options 'none'. A file set again under the same
// name (a rewritten "Temp.bmp") is given under an equivalent spelling, so the desktop sees a change and loads it anew.
// False when the schema is not installed or no session bus is reachable.
bool SetBackgroundSettings(const BackgroundSchema& schema, const std::string& path, WallpaperPlacement placement);
// The same for a name the store takes as it is (NameReader::TextStore); `withPicture` false removes it.
bool SetBackgroundName(const BackgroundSchema& schema, const std::string& name, bool withPicture,
                       WallpaperPlacement placement);

} // namespace vorlane
