// Where each gallery's rotation stands: the entry last made the wallpaper, kept in a small file of
// Vorlane's own, so that the gallery file itself is never written by a rotation.
#pragma once

#include <string>
#include <vector>

namespace vorlane::wallpapertool {

struct RememberedPosition {
    std::string gallery; // the gallery file, absolute
    int index = -1;      // the entry last made the wallpaper, counted from 0
    std::string picture; // and its picture, to find it again after the gallery was reordered
};

// The most galleries remembered; the ones used longest ago are forgotten first.
inline constexpr size_t MaxRememberedGalleries = 256;

// ProgramFolder() + "rotation/positions": a folder of its own, so that its lock (FolderLock) holds up
// no gallery.
std::string PositionsFile();

// The positions, most recently used first. A missing file is none; a file that is not ours, too large
// or damaged lines are passed over, never fatal: a position is only a convenience.
std::vector<RememberedPosition> ReadPositions(const std::string& file);
// Replaces the file once the new content is complete (ReplacedFile). Raises "ファイル %s を作成できません".
void WritePositions(const std::string& file, const std::vector<RememberedPosition>& positions);

// Where `pictures` stands now: `remembered`'s index when that entry still holds its picture, otherwise
// the first entry holding the picture (the gallery was reordered), otherwise -1.
int CurrentIndex(const RememberedPosition& remembered, const std::vector<std::string>& pictures);

} // namespace vorlane::wallpapertool
