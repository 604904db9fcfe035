#include "platform/HolderLock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vorlane {
namespace {

flock WholeFile(short type)
{
    flock lock{};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return lock;
}

} // namespace

HolderLock::HolderLock(const std::string& file, Open how)
    : fd_(how == Open::CreateIfMissing ? ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600)
                                       : ::open(file.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC))
{
}

HolderLock::~HolderLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

HolderLock::Taken HolderLock::TryTake()
{
    flock lock = WholeFile(F_WRLCK);
    if (::fcntl(fd_, F_SETLK, &lock) == 0)
        return Taken::Yes;
    return errno == EAGAIN || errno == EACCES ? Taken::HeldByAnother : Taken::Failed;
}

int HolderLock::Holder() const
{
    flock lock = WholeFile(F_WRLCK);
    if (::fcntl(fd_, F_GETLK, &lock) != 0 || lock.l_type == F_UNLCK)
        return 0;
    return lock.l_pid > 0 ? lock.l_pid : -1;
}

bool HolderLock::Removed() const
{
    struct stat info {};
    return ::fstat(fd_, &info) == 0 && info.st_nlink == 0;
}

} // namespace vorlane
