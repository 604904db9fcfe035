// Private to the platform layer: the lock of one folder as each system gives it. FolderLockCommon.cpp
// counts what this process holds, since a second lock of the same folder would wait for the process
// itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vorlane::folderlock {

struct SystemLock {
    intptr_t handle; // what the system names the lock by, not yet taken
    uint64_t device; // the folder's identity
    uint64_t inode;
};

enum class Taken { Yes, Busy, Refused };

// The lock of `folder` ("" for the current folder); none when the folder or the lock cannot be reached.
std::optional<SystemLock> OpenLock(const std::string& folder);
// Takes the lock when other processes let it go within `wait`: Busy when they did not, Refused when the
// system refuses it.
Taken TakeLock(intptr_t handle, int waitMilliseconds);
// Lets go of a lock that was not taken (a taken one may be held through another handle).
void CloseLock(intptr_t handle);
// Releases a taken lock and lets go of it.
void ReleaseLock(intptr_t handle);

#ifndef _WIN32
// The user's own folder for locks and the records of unfinished in-place saves, with its separator: the
// session's runtime folder ($XDG_RUNTIME_DIR, else /run/user/<uid>), else the data folder, else
// /tmp/vorlane-<uid>; made when missing, and used only when it is the user's and nobody else may write in
// it. Empty when there is none.
std::string PrivateFolder();
#endif

} // namespace vorlane::folderlock
