// A lock that one process at a time holds on a file of the user's own, and that names its holder, so a
// newcomer can ask the holder to end (an fcntl record lock). The file is opened without following a
// link. Linux only: the Windows build has its own rotation and no side of this (linux/HolderLock.cpp).
#pragma once

#include <string>

namespace vorlane {

class HolderLock {
public:
    enum class Open { CreateIfMissing, Existing };
    HolderLock(const std::string& file, Open how);
    ~HolderLock();
    HolderLock(const HolderLock&) = delete;
    HolderLock& operator=(const HolderLock&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    enum class Taken { Yes, HeldByAnother, Failed };
    Taken TryTake();
    // The process that holds it: 0 when none does, -1 when it cannot be named (another process
    // namespace).
    int Holder() const;
    // Whether the file was removed since it was opened (it stays open, with no name).
    bool Removed() const;

private:
    int fd_;
};

} // namespace vorlane
