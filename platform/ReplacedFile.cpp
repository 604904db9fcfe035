#include "platform/ReplacedFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace vorlane {

ReplacedFile::ReplacedFile(const std::string& target, mode_t mode) : target_(target), temporary_(target + ".XXXXXX")
{
    fd_ = ::mkstemp(temporary_.data());
    created_ = fd_ >= 0;
    if (created_)
        failed_ = ::fchmod(fd_, mode) != 0; // mkstemp makes a private file
}

ReplacedFile::~ReplacedFile()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (created_ && !committed_)
        ::unlink(temporary_.c_str());
}

bool ReplacedFile::Write(std::span<const uint8_t> bytes)
{
    return Put(bytes, -1);
}

bool ReplacedFile::WriteAt(uint64_t offset, std::span<const uint8_t> bytes)
{
    return Put(bytes, off_t(offset));
}

bool ReplacedFile::Put(std::span<const uint8_t> bytes, off_t at)
{
    size_t written = 0;
    while (!failed_ && written < bytes.size()) {
        const uint8_t* data = bytes.data() + written;
        const size_t size = bytes.size() - written;
        const ssize_t n = at < 0 ? ::write(fd_, data, size) : ::pwrite(fd_, data, size, at + off_t(written));
        if (n < 0 && errno == EINTR)
            continue;
        failed_ = n <= 0;
        if (!failed_)
            written += static_cast<size_t>(n);
    }
    return !failed_;
}

bool ReplacedFile::Commit(bool sync)
{
    if (fd_ < 0)
        return false;
    bool ok = !failed_ && (!sync || ::fsync(fd_) == 0);
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    committed_ = ok && std::rename(temporary_.c_str(), target_.c_str()) == 0;
    return committed_;
}

} // namespace vorlane
