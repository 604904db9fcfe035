// The folder's lock on Windows: a named mutex of the session (the "Local" namespace, which other users'
// sessions do not reach), named after the folder's identity (volume and file index), since a folder
// cannot be locked as a file can. It leaves nothing on the disk and works in folders that cannot be
// written; a holder that dies releases it (the wait then reports it
// abandoned, and the lock is taken all the same).
#include <string>
#include <windows.h>

#include "platform/FileIdentity.h"
#include "platform/FolderLockSystem.h"

namespace vorlane::folderlock {

std::optional<SystemLock> OpenLock(const std::string& folder)
{
    const std::optional<FileIdentity> identity = IdentityOf(folder.empty() ? "." : folder);
    if (!identity)
        return std::nullopt;
    const std::string name =
        "Local\\Vorlane-folder-" + std::to_string(identity->device) + "-" + std::to_string(identity->inode);
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    if (!mutex)
        return std::nullopt;
    return SystemLock{reinterpret_cast<intptr_t>(mutex), identity->device, identity->inode};
}

Taken TakeLock(intptr_t handle, int waitMilliseconds)
{
    const DWORD waited = WaitForSingleObject(reinterpret_cast<HANDLE>(handle), DWORD(waitMilliseconds));
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
        return Taken::Yes;
    return waited == WAIT_TIMEOUT ? Taken::Busy : Taken::Refused;
}

void CloseLock(intptr_t handle)
{
    CloseHandle(reinterpret_cast<HANDLE>(handle)); // a lock held through another handle stays
}

void ReleaseLock(intptr_t handle)
{
    const HANDLE mutex = reinterpret_cast<HANDLE>(handle);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

} // namespace vorlane::folderlock
