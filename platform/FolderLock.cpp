#include "platform/FolderLock.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "platform/Path.h"

namespace vorlane {
namespace {

struct HeldLock {
    int fd;
    int count;
};

// A second flock on another descriptor of the same folder would wait for this very process, so the
// locks this process holds are counted here.
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
    const std::string folder = path::ExtractFileDir(file); // empty for a bare name
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return;
    }
    device_ = st.st_dev;
    inode_ = st.st_ino;
    const std::lock_guard guard(HeldMutex());
    auto& locks = HeldLocks();
    if (const auto found = locks.find({device_, inode_}); found != locks.end()) {
        ++found->second.count;
        ::close(fd);
        held_ = true;
        return;
    }
    int result;
    while ((result = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (result != 0) {
        ::close(fd);
        return;
    }
    locks[{device_, inode_}] = HeldLock{fd, 1};
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
        ::close(found->second.fd); // releases the lock
        locks.erase(found);
    }
}

} // namespace vorlane
