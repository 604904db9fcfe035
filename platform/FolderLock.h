// Changes to the files of one folder exclude each other across processes: whoever reads a file to
// change it holds the folder's lock until the changed file has replaced the old one, so two programs
// editing one gallery cannot both start from the same old content.
//
// The lock is the folder's own (flock on the folder), so it works for files that do not exist yet and in
// folders that cannot be written, and leaves nothing behind. Within one process it may be taken again
// while held (a command holds it around a save that takes it too); it is released when the last holder
// goes. A folder that cannot be opened is not locked: what follows then fails on its own.
#pragma once

#include <cstdint>
#include <string>

namespace vorlane {

class FolderLock {
public:
    // Locks the folder that holds `file` (the current folder for a bare name); waits for other processes.
    explicit FolderLock(const std::string& file);
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
