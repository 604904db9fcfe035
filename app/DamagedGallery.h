// Keeps a gallery file that failed to load from being replaced by a later save.
//
// A load that fails part-way leaves the gallery holding only what was read before the error; saving that
// over the file would lose the rest of the user's gallery. So the file is remembered, and before the
// first save to the same path it is moved aside, unchanged, to "<file>.bak" (or "<file>.bak2",
// "<file>.bak3", ... when that name is taken). The save then writes the gallery as it stands, and the
// damaged original stays beside it for recovery.
#pragma once

#include <optional>
#include <string>

namespace vorlane {

class DamagedGalleryGuard {
public:
    // The gallery file at `galleryFile` was found but could not be loaded.
    void LoadFailed(const std::string& galleryFile);

    // Before a save to `galleryFile`: moves the damaged file aside when it is the one that failed to
    // load and it is still there. EFCreateError "ファイル %s を作成できません" (with the backup name) when it
    // cannot be moved; the save must not go on then.
    void BeforeSave(const std::string& galleryFile);

    // Where the last damaged file was put, if any was.
    const std::optional<std::string>& SetAside() const { return setAside_; }

private:
    std::optional<std::string> damaged_;
    std::optional<std::string> setAside_;
};

} // namespace vorlane
