// The folder's lock here: flock on the folder itself.
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FolderLockSystem.h"

namespace vorlane::folderlock {

std::optional<SystemLock> OpenLock(const std::string& folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    return SystemLock{fd, uint64_t(st.st_dev), uint64_t(st.st_ino)};
}

bool TakeLock(intptr_t handle)
{
    int result;
    while ((result = ::flock(int(handle), LOCK_EX)) != 0 && errno == EINTR) {
    }
    return result == 0;
}

void CloseLock(intptr_t handle)
{
    ::close(int(handle)); // a lock held through another descriptor stays
}

void ReleaseLock(intptr_t handle)
{
    ::close(int(handle)); // releases the lock
}

} // namespace vorlane::folderlock
