// The folder's lock on Windows: a named mutex of the session, named after the folder's identity (volume
// and file index), since a folder cannot be locked as a file can. It leaves nothing on the disk and
// works in folders that cannot be written; a holder that dies releases it (the wait then reports it
// abandoned, and the lock is taken all the same).
#include "platform/FolderLock.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <windows.h>

#include "platform/FileIdentity.h"
#include "platform/Path.h"

namespace vorlane {
namespace {

struct HeldLock {
    HANDLE mutex;
    int count;
};

// Taken again in this process while held, a lock is counted here rather than waited for.
std::mutex& HeldMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::map<std::pair<uint64_t, uint64_t>, HeldLock>& HeldLocks()
{
    static std::map<std::pair<uint64_t, uint64_t>, HeldLock> locks;
    return locks;
}

} // namespace

FolderLock::FolderLock(const std::string& file)
{
    const std::string folder = path::ExtractFileDir(file);
    const std::optional<FileIdentity> identity = IdentityOf(folder.empty() ? "." : folder);
    if (!identity)
        return;
    device_ = identity->device;
    inode_ = identity->inode;
    const std::lock_guard guard(HeldMutex());
    auto& locks = HeldLocks();
    if (const auto found = locks.find({device_, inode_}); found != locks.end()) {
        ++found->second.count;
        held_ = true;
        return;
    }
    const std::string name = "Local\\Vorlane-folder-" + std::to_string(device_) + "-" + std::to_string(inode_);
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    if (!mutex)
        return;
    const DWORD waited = WaitForSingleObject(mutex, INFINITE);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return;
    }
    locks.emplace(std::pair(device_, inode_), HeldLock{mutex, 1});
    held_ = true;
}

FolderLock::~FolderLock()
{
    if (!held_)
        return;
    const std::lock_guard guard(HeldMutex());
    auto& locks = HeldLocks();
    const auto found = locks.find({device_, inode_});
    if (found == locks.end() || --found->second.count > 0)
        return;
    ReleaseMutex(found->second.mutex);
    CloseHandle(found->second.mutex);
    locks.erase(found);
}

} // namespace vorlane
