// The settings files desktop programs read when they start (KConfig, QSettings, pcmanfm's key files):
// "[group]" lines, each followed by "key=value" lines. A group is named by all that stands between its
// line's first "[" and last "]", so KConfig's nested groups ("[Containments][1][Wallpaper]") are groups
// of their own. Names match exactly, as those programs match them. A change keeps every other line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vorlane {

class DesktopSettingsFile {
public:
    // Reads the file; a missing or unreadable one reads as empty.
    explicit DesktopSettingsFile(std::string path);

    bool Existed() const { return existed_; }
    // The groups, in the order of the file.
    std::vector<std::string> Groups() const;
    std::optional<std::string> Get(const std::string& group, const std::string& key) const;
    // Sets the key, adding it (and the group) at the end of the group (the file) when missing. A value
    // or name holding a line break is refused: it would start a line of its own.
    bool Set(const std::string& group, const std::string& key, const std::string& value);
    // Replaces the file with what was read and set, once it is written whole; a new file is the user's
    // alone. Makes the folder when missing. False when it could not be written: the old file is intact.
    bool Save() const;

private:
    // The line that starts the group, or lines_.size() when it is missing.
    size_t GroupLine(const std::string& group) const;

    std::string path_;
    std::vector<std::string> lines_;
    bool existed_ = false;
};

// $XDG_CONFIG_HOME, or ~/.config when it is unset; with a trailing "/". Empty without either.
std::string UserConfigFolder();

} // namespace vorlane
