#include "component/Stream.h"

#include <algorithm>
#include <cstring>

#include "platform/Exceptions.h"
#include "platform/FileSystem.h"

namespace vorlane {
namespace {

// Repeats a read or write call until `count` bytes have gone through, the data ends or the device fails;
// returns how many went through.
template <class Byte, class Call>
size_t Transfer(Byte* buffer, size_t count, Call call)
{
    size_t done = 0;
    while (done < count) {
        const int64_t n = call(buffer + done, count - done);
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

TFileStream::TFileStream(const std::string& path, Mode mode) : buffer_(new uint8_t[BufferSize])
{
    if (mode == Mode::OpenRead) {
        fd_ = files::OpenToRead(path);
        if (fd_ < 0)
            throw EFOpenError(Format(msg::FOpenError, path.c_str()));
    } else {
        fd_ = files::CreateToWrite(path);
        if (fd_ < 0)
            throw EFCreateError(Format(msg::FCreateError, path.c_str()));
    }
}

TFileStream::TFileStream(int fd) : fd_(fd), buffer_(new uint8_t[BufferSize])
{
    const int64_t here = files::SeekTo(fd_, 0, files::From::Current);
    position_ = here < 0 ? 0 : int64_t(here);
}

TFileStream::~TFileStream()
{
    if (fd_ >= 0) {
        Flush();
        files::CloseFile(fd_);
    }
}

size_t TFileStream::Read(void* buffer, size_t count)
{
    if (pending_ > 0 && !Flush())
        return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        if (readStart_ < readEnd_) {
            const size_t n = std::min(count - done, readEnd_ - readStart_);
            std::memcpy(out + done, buffer_.get() + readStart_, n);
            readStart_ += n;
            done += n;
            position_ += int64_t(n);
            continue;
        }
        if (count - done >= BufferSize / 4) { // a large request goes straight to where it is wanted
            const size_t n = Transfer(out + done, count - done,
                                      [this](uint8_t* at, size_t k) { return files::ReadSome(fd_, at, k); });
            done += n;
            position_ += int64_t(n);
            break;
        }
        readStart_ = 0;
        readEnd_ =
            Transfer(buffer_.get(), BufferSize, [this](uint8_t* at, size_t k) { return files::ReadSome(fd_, at, k); });
        if (readEnd_ == 0)
            break;
    }
    return done;
}

size_t TFileStream::Write(const void* buffer, size_t count)
{
    if (count == 0 || failed_) // after a refused write nothing more is taken
        return 0;
    DropReadAhead();
    size_ = -1;
    if (pending_ + count > BufferSize && !Flush())
        return 0;
    if (count >= BufferSize) {
        const size_t n = Transfer(static_cast<const uint8_t*>(buffer), count,
                                  [this](const uint8_t* at, size_t k) { return files::WriteSome(fd_, at, k); });
        position_ += int64_t(n);
        return n;
    }
    std::memcpy(buffer_.get() + pending_, buffer, count);
    pending_ += count;
    position_ += int64_t(count);
    return count;
}

bool TFileStream::Flush()
{
    if (pending_ > 0) {
        const size_t n = Transfer(buffer_.get(), pending_,
                                  [this](const uint8_t* at, size_t k) { return files::WriteSome(fd_, at, k); });
        if (n != pending_)
            failed_ = true;
        pending_ = 0;
    }
    return !failed_;
}

void TFileStream::DropReadAhead()
{
    // The system's position is at the end of what was read ahead.
    if (readStart_ < readEnd_)
        files::SeekTo(fd_, position_, files::From::Start);
    readStart_ = readEnd_ = 0;
}

int64_t TFileStream::Seek(int64_t offset, SeekOrigin origin)
{
    if (origin == SeekOrigin::Current && offset == 0)
        return position_;
    if (origin != SeekOrigin::End) {
        const int64_t target = origin == SeekOrigin::Beginning ? offset : position_ + offset;
        if (target < 0)
            return -1;
        // Inside what was read ahead: only the place in the buffer moves.
        const int64_t bufferStart = position_ - int64_t(readStart_);
        if (readEnd_ > 0 && target >= bufferStart && target <= bufferStart + int64_t(readEnd_)) {
            readStart_ = size_t(target - bufferStart);
            position_ = target;
            return target;
        }
    }
    Flush(); // a refused write stays on record for Flush, Sync and Close
    readStart_ = readEnd_ = 0;
    const files::From from = origin == SeekOrigin::End ? files::From::End : files::From::Start;
    const int64_t target = origin == SeekOrigin::Current ? position_ + offset : offset;
    const int64_t result = files::SeekTo(fd_, target, from);
    if (result >= 0)
        position_ = int64_t(result);
    else
        files::SeekTo(fd_, position_, files::From::Start);
    return int64_t(result);
}

int64_t TFileStream::Size()
{
    if (pending_ > 0)
        Flush();
    if (size_ < 0) {
        const std::optional<int64_t> size = files::RegularFileSize(fd_);
        if (!size)
            return -1;
        size_ = *size;
    }
    return size_;
}

int TFileStream::Handle()
{
    Flush();
    DropReadAhead();
    return fd_;
}

bool TFileStream::Sync()
{
    return Flush() && files::SyncFile(fd_);
}

bool TFileStream::Close()
{
    if (fd_ < 0)
        return !failed_;
    const bool flushed = Flush();
    const bool closed = files::CloseFile(fd_);
    fd_ = -1;
    return flushed && closed;
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
                         : origin == SeekOrigin::Current ? int64_t(position_)
                                                         : int64_t(bytes_.size());
    const int64_t target = base + offset;
    if (target < 0)
        return -1;
    position_ = size_t(target);
    return target;
}

} // namespace vorlane
