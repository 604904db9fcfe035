// A file replaced only once its new content is complete: the content goes into a temporary file in the
// same folder, which Commit() renames over the target. Until then, and whenever a step fails, the old
// file stays as it was and the temporary file is removed.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string>

namespace vorlane {

class ReplacedFile {
public:
    // Creates the temporary file beside `target` with the given permission bits; Open() tells whether
    // that worked.
    ReplacedFile(const std::string& target, mode_t mode);
    ~ReplacedFile();
    ReplacedFile(const ReplacedFile&) = delete;
    ReplacedFile& operator=(const ReplacedFile&) = delete;

    bool Open() const { return fd_ >= 0; }
    // Appends bytes; false once any write has failed.
    bool Write(std::span<const uint8_t> bytes);
    // Writes bytes at `offset` from the file's start, for content that is produced out of order;
    // false once any write has failed.
    bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes);
    // Closes the temporary file (after flushing it to the disk when `sync`) and renames it over the
    // target. False when any step failed; the target is then unchanged.
    bool Commit(bool sync);

private:
    bool Put(std::span<const uint8_t> bytes, off_t at); // at < 0: at the current position
    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    bool created_ = false;
    bool failed_ = false;
    bool committed_ = false;
};

} // namespace vorlane
