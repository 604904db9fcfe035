// Changes to the files of one folder exclude each other across the user's processes: whoever reads a
// file to change it holds the folder's lock until the changed file has replaced the old one, so two
// programs of the user editing one gallery cannot both start from the same old content.
//
// The lock is the user's own: a lock file named after the folder's identity in a folder only the user
// can open (the session's runtime folder, else the data folder, else one in /tmp), never anything in
// the gallery's folder, so no other user can hold it and delay an edit. Programs of other users, or on
// other machines, are not excluded; a save still notices a version they wrote meanwhile (SaveGallery).
// Within one process it may be taken again while held (a command holds it around a save that takes it
// too); it is released when the last holder goes. Where no lock can be had (no private folder), none is
// taken: what follows goes on unlocked.
//
// No wait is unbounded: without `ask`, the lock is waited for at most CommandPatience, then EFileBusy
// is raised. With `ask` (the window, whose thread must not stall), it is waited for a moment, then `ask`
// decides: wait another moment, go on without the lock, or give up (EFileBusy).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vorlane {

enum class LockWait { Again, GoOn, GiveUp };
// Asked when another program held the lock of `file`'s folder for a moment.
using LockAsk = std::function<LockWait(const std::string& file)>;

class FolderLock {
public:
    // In milliseconds: <chrono> cannot be compiled for the Windows code page, whose texts lack its "µs".
    static constexpr int CommandPatience = 60000;
    static constexpr int Moment = 200;

    // Locks the folder that holds `file` (the current folder for a bare name).
    explicit FolderLock(const std::string& file, const LockAsk& ask = {});
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool Held() const { return held_; }

private:
    uint64_t device_ = 0;
    uint64_t inode_ = 0;
    bool held_ = false;
};

} // namespace vorlane
