#include "component/Stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Exceptions.h"

namespace vorlane {
namespace {

// Repeats a read or write call until `count` bytes have gone through, the data ends or the device fails;
// returns how many went through.
template <class Byte, class Call>
size_t Transfer(Byte* buffer, size_t count, Call call)
{
    size_t done = 0;
    while (done < count) {
        const ssize_t n = call(buffer + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    return done;
}

} // namespace

int64_t TStream::Size()
{
    const int64_t here = Seek(0, SeekOrigin::Current);
    const int64_t end = Seek(0, SeekOrigin::End);
    Seek(here, SeekOrigin::Beginning);
    return end;
}

int64_t TStream::Remaining()
{
    const int64_t size = Size();
    const int64_t here = Position();
    return (size < 0 || here < 0 || here > size) ? 0 : size - here;
}

TFileStream::TFileStream(const std::string& path, Mode mode)
{
    if (mode == Mode::OpenRead) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0)
            throw EFOpenError(Format(msg::FOpenError, path.c_str()));
    } else {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0)
            throw EFCreateError(Format(msg::FCreateError, path.c_str()));
    }
}

TFileStream::TFileStream(int fd) : fd_(fd) {}

TFileStream::~TFileStream()
{
    if (fd_ >= 0)
        ::close(fd_);
}

size_t TFileStream::Read(void* buffer, size_t count)
{
    return Transfer(static_cast<char*>(buffer), count, [this](char* at, size_t n) { return ::read(fd_, at, n); });
}

size_t TFileStream::Write(const void* buffer, size_t count)
{
    return Transfer(static_cast<const char*>(buffer), count,
                    [this](const char* at, size_t n) { return ::write(fd_, at, n); });
}

int64_t TFileStream::Seek(int64_t offset, SeekOrigin origin)
{
    const int whence = origin == SeekOrigin::Beginning ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
    return int64_t(::lseek(fd_, off_t(offset), whence));
}

int64_t TFileStream::Size()
{
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return int64_t(st.st_size);
}

bool TFileStream::Sync()
{
    return ::fsync(fd_) == 0;
}

bool TFileStream::Close()
{
    if (fd_ < 0)
        return true;
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
}

size_t TMemoryStream::Read(void* buffer, size_t count)
{
    const size_t n = position_ < bytes_.size() ? std::min(count, bytes_.size() - position_) : 0;
    if (n > 0)
        std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return n;
}

size_t TMemoryStream::Write(const void* buffer, size_t count)
{
    if (count == 0)
        return 0;
    if (position_ + count > bytes_.size())
        bytes_.resize(position_ + count);
    std::memcpy(bytes_.data() + position_, buffer, count);
    position_ += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, SeekOrigin origin)
{
    const int64_t base = origin == SeekOrigin::Beginning ? 0
                         : origin == SeekOrigin::Current  ? int64_t(position_)
                                                          : int64_t(bytes_.size());
    const int64_t target = base + offset;
    if (target < 0)
        return -1;
    position_ = size_t(target);
    return target;
}

} // namespace vorlane
