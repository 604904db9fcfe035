// The folder locks this process holds, counted: taken again while held, a lock is counted rather than
// waited for, and released when the last holder goes.
#include "platform/FolderLock.h"

#include <map>
#include <mutex>
#include <utility>

#include "platform/Exceptions.h"
#include "platform/FolderLockSystem.h"
#include "platform/Path.h"

namespace vorlane {
namespace {

struct HeldLock {
    intptr_t handle;
    int count;
};

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

FolderLock::FolderLock(const std::string& file, const LockAsk& ask)
{
    const std::optional<folderlock::SystemLock> lock = folderlock::OpenLock(path::ExtractFileDir(file));
    if (!lock)
        return;
    device_ = lock->device;
    inode_ = lock->inode;
    std::unique_lock guard(HeldMutex());
    auto& locks = HeldLocks();
    if (const auto found = locks.find({device_, inode_}); found != locks.end()) {
        ++found->second.count;
        folderlock::CloseLock(lock->handle);
        held_ = true;
        return;
    }
    // The process's own table stays free while another process is waited for; a thread of this process
    // that took the lock meanwhile is found once the wait is over.
    guard.unlock();
    folderlock::Taken taken;
    while ((taken = folderlock::TakeLock(lock->handle, ask ? Moment : CommandPatience)) == folderlock::Taken::Busy) {
        const LockWait choice = ask ? ask(file) : LockWait::GiveUp;
        if (choice == LockWait::Again)
            continue;
        folderlock::CloseLock(lock->handle);
        if (choice == LockWait::GoOn)
            return;
        throw EFileBusy(Format(msg::FileBusy, file.c_str()));
    }
    if (taken != folderlock::Taken::Yes) {
        folderlock::CloseLock(lock->handle);
        return;
    }
    guard.lock();
    locks.emplace(std::pair(device_, inode_), HeldLock{lock->handle, 1});
    held_ = true;
}

FolderLock::~FolderLock()
{
    if (!held_)
        return;
    const std::lock_guard guard(HeldMutex());
    auto& locks = HeldLocks();
    const auto found = locks.find({device_, inode_});
    if (found != locks.end() && --found->second.count == 0) {
        folderlock::ReleaseLock(found->second.handle);
        locks.erase(found);
    }
}

} // namespace vorlane
