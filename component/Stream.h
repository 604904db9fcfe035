// Byte streams that the component stream is written to and read from: an open file, or memory.
//
// Positions and sizes are 64-bit; a read or write stores as many bytes as it could and says how many,
// so that the callers (the component stream's buffers) decide which error a short transfer is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vorlane {

enum class SeekOrigin { Beginning, Current, End };

class TStream {
public:
    virtual ~TStream() = default;

    // Up to `count` bytes; fewer only at the end of the data (or on a failing device).
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Stores up to `count` bytes and returns how many were stored.
    virtual size_t Write(const void* buffer, size_t count) = 0;
    // Moves the position and returns the new one.
    virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;

    int64_t Position() { return Seek(0, SeekOrigin::Current); }
    virtual int64_t Size();
    // Bytes between the position and the end.
    int64_t Remaining();
};

// A file opened by path. Reads and writes pass through one buffer of BufferSize bytes, so that the
// component stream's 4096-byte blocks reach the system as large transfers, and the position is kept
// here rather than asked of the system. Opening failures raise the system's errors with the path.
//
// Buffered writes reach the file when the buffer fills, on a seek, on Flush, Sync, Close and at
// destruction (where a failure can no longer be reported: call Close to learn of it). A write that the
// system refuses is reported by the call that passes it on: Write returns fewer bytes, Flush, Sync and
// Close return false.
class TFileStream : public TStream {
public:
    static constexpr size_t BufferSize = 256 * 1024;

    enum class Mode {
        OpenRead, // EFOpenError "ファイル %s は開けません"
        Create,   // created or emptied; EFCreateError "ファイル %s を作成できません"
    };
    TFileStream(const std::string& path, Mode mode);
    // Takes over an already open descriptor (closed with the stream), at its current position.
    explicit TFileStream(int fd);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    // The file's size as measured once (and again after this stream wrote to it): a reader checks counts
    // against it for every string, which must not cost a system call each.
    int64_t Size() override;

    // The descriptor, with the buffered writes passed on and the system's position at this stream's.
    int Handle();
    // Passes the buffered writes on; false when the system refuses them.
    bool Flush();
    // Flushes the file's data to the disk (fsync); false when the system reports a failure.
    bool Sync();
    // Closes now; false when the system reports a failure (a deferred write error).
    bool Close();

private:
    // Drops what was read ahead, putting the system's position back at this stream's.
    void DropReadAhead();

    int fd_ = -1;
    int64_t position_ = 0;               // this stream's position
    std::unique_ptr<uint8_t[]> buffer_;  // read-ahead or pending writes, never both
    size_t readStart_ = 0, readEnd_ = 0; // read ahead: buffer_[readStart_, readEnd_) comes next
    size_t pending_ = 0;                 // bytes waiting to be written
    int64_t size_ = -1;                  // measured size; -1: measure again
    bool failed_ = false;                // a pending write was refused
};

// Bytes in memory, growing as they are written.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    explicit TMemoryStream(std::span<const uint8_t> bytes) : bytes_(bytes.begin(), bytes.end()) {}

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override { return int64_t(bytes_.size()); }

    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    size_t position_ = 0;
};

} // namespace vorlane
