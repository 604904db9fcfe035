#include "image/PictureFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Exceptions.h"

namespace vorlane {

std::unique_ptr<std::FILE, FileCloser> OpenPictureFile(const std::string& path)
{
    // Opened without waiting, so a pipe cannot block; only a regular file is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw EFOpenError(Format(msg::FOpenError, path.c_str()));
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || ::fcntl(fd, F_SETFL, 0) != 0) {
        ::close(fd);
        throw EFOpenError(Format(msg::FOpenError, path.c_str()));
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        ::close(fd);
        throw EFOpenError(Format(msg::FOpenError, path.c_str()));
    }
    return std::unique_ptr<std::FILE, FileCloser>(file);
}

} // namespace vorlane
