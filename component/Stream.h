// Byte streams that the component stream is written to and read from: an open file, or memory.
//
// Positions and sizes are 64-bit; a read or write stores as many bytes as it could and says how many,
// so that the callers (the component stream's buffers) decide which error a short transfer is.
#pragma once

#include <cstddef>
#include <cstdint>
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

// A file opened by path. Opening failures raise the system's errors with the path.
class TFileStream : public TStream {
public:
    enum class Mode {
        OpenRead, // EFOpenError "ファイル %s は開けません"
        Create,   // created or emptied; EFCreateError "ファイル %s を作成できません"
    };
    TFileStream(const std::string& path, Mode mode);
    // Takes over an already open descriptor (closed with the stream).
    explicit TFileStream(int fd);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override;

    int Handle() const { return fd_; }
    // Flushes the file's data to the disk (fsync); false when the system reports a failure.
    bool Sync();
    // Closes now; false when the system reports a failure (a deferred write error).
    bool Close();

private:
    int fd_ = -1;
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
