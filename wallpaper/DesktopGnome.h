// GNOME draws its own desktop from the settings schema org.gnome.desktop.background and ignores the X
// root window; these settings are reached through GSettings when the schema is installed and a session
// bus is reachable.
#pragma once

#include <string>

namespace vorlane {

// True when the schema is installed and a session bus is reachable (one is never started for this).
bool GnomeBackgroundAvailable();

// Sets picture-uri and picture-uri-dark to the file's URI and picture-options to 'centered' or
// 'wallpaper' (tiled); an empty path sets picture-options 'none'. A file set again under the same name
// (a rewritten "Temp.bmp") is given under an equivalent spelling of its URI, so the desktop sees a
// change and loads it anew. False when GNOME's settings are not available.
bool SetGnomeBackground(const std::string& path, bool tile);

} // namespace vorlane
