// The name a desktop program or settings store is given for the wallpaper file. Some read a name again
// after we hand it over: sway runs the path of `output * bg` through wordexp(3) ($(...), backquotes,
// $VAR and * expand), pcmanfm writes it raw into its settings file (a newline starts a new key), and
// xfconf and GSettings hold only UTF-8 text. Rather than escaping for each of them, a name they could
// misread is replaced by another name for the same file that they cannot: a symbolic link with a plain
// name in a folder of Vorlane's own.
#pragma once

#include <string>

namespace vorlane {

// What reads the name, and so what the name may hold.
enum class NameReader {
    // A store of UTF-8 text (xfconf, GSettings, Plasma's script): valid UTF-8 without control characters.
    TextStore,
    // A command language or a settings file written raw (swaymsg, pcmanfm, pcmanfm-qt): only the ASCII
    // letters, digits and "._/+-".
    PlainWord,
};

// Whether `reader` takes the name as it is.
bool NameHolds(const std::string& name, NameReader reader);

// The folder of the links: $XDG_DATA_HOME/vorlane/wallpaper-names/ (or ~/.local/share/...), with a
// trailing "/"; empty when neither variable is set. It persists across logins, since the desktops keep
// the name in their settings and the login's restore hands it over again.
std::string PictureNameFolder();

// The file `path`, made absolute, under a name `reader` takes as it is: the path itself when it can hold
// it, otherwise a link in PictureNameFolder() named after the path (the same path, the same link), made
// when missing. Links there to any other file are removed: only the picture being set is recorded. Empty
// when no such name can be made (the link folder's own name is not plain, or it cannot be written).
std::string PictureNameFor(const std::string& path, NameReader reader);

} // namespace vorlane
