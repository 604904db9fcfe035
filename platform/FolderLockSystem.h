// Private to the platform layer: the lock of one folder as each system gives it. FolderLockCommon.cpp
// counts what this process holds, since a second lock of the same folder would wait for the process
// itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vorlane::folderlock {

struct SystemLock {
    intptr_t handle;  // what the system names the lock by, not yet taken
    uint64_t device;  // the folder's identity
    uint64_t inode;
};

// The lock of `folder` ("" for the current folder); none when the folder cannot be reached.
std::optional<SystemLock> OpenLock(const std::string& folder);
// Takes the lock, waiting for other processes; false when the system refuses it.
bool TakeLock(intptr_t handle);
// Lets go of a lock that was not taken (a taken one may be held through another handle).
void CloseLock(intptr_t handle);
// Releases a taken lock and lets go of it.
void ReleaseLock(intptr_t handle);

} // namespace vorlane::folderlock
