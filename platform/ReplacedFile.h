// A file replaced only once its new content is complete.
//
// The content goes into a temporary file in the same folder, which Commit() renames over the target.
// Until then, and whenever a step fails, the old file stays as it was and the temporary file is removed.
// An existing target keeps what its permissions say about it:
// - a file nobody may write (no write bit, or none for this user) is refused, as it would be on Windows;
// - its mode and owner are kept; when the owner cannot be given to a new file, or the file has more than
//   one name (hard links), or the folder refuses a temporary file while the file itself may be written,
//   the content is written into the file in place instead: held in memory until Commit(), then written,
//   flushed and read back; on a failure the old content is written back.
// A target that is a symbolic link is replaced as a name (the link goes); callers that mean the file
// behind it resolve it first.
//
// Temporary files are named ".vorlane-<process>-<random>.tmp" and locked by their writer while it
// lives. Each new ReplacedFile first removes those of a folder whose writer is gone (a process killed
// while saving), so interrupted saves leave nothing behind for long.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vorlane {

class ReplacedFile {
public:
    // Prepares to replace `target`; a new file gets `mode`. Open() tells whether writing may begin.
    ReplacedFile(const std::string& target, mode_t mode);
    ~ReplacedFile();
    ReplacedFile(const ReplacedFile&) = delete;
    ReplacedFile& operator=(const ReplacedFile&) = delete;

    bool Open() const { return state_ != State::Closed; }
    // The content will be written into the existing file rather than replace it.
    bool InPlace() const { return state_ == State::InPlace; }
    // Appends bytes; false once any write has failed.
    bool Write(std::span<const uint8_t> bytes);
    // Writes bytes at `offset` from the file's start, for content that is produced out of order;
    // false once any write has failed.
    bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes);
    // Closes the temporary file (after flushing it to the disk when `sync`) and renames it over the
    // target (flushing the folder too when `sync`), or writes the content in place (always flushed).
    // False when any step failed; the target then holds its old content.
    bool Commit(bool sync);

    // Undoes an in-place write of `target` whose writer died before it finished, so that the file holds
    // one whole version again; called before the file is read. Nothing when none is recorded or its
    // writer still lives.
    static void Recover(const std::string& target);
    // Removes the temporary files of this naming in `folder` whose writer is gone.
    static void RemoveStaleTemporaries(const std::string& folder);

private:
    enum class State { Closed, Temporary, InPlace };
    bool CreateTemporary(mode_t mode);
    void DropTemporary();
    bool CommitInPlace();
    bool CommitTemporary(bool sync);
    bool Put(std::span<const uint8_t> bytes, off_t at); // at < 0: where the last append ended
    bool WriteTemporary(std::span<const uint8_t> bytes, off_t at);

    std::string target_;
    std::string temporary_;
    State state_ = State::Closed;
    int fd_ = -1;
    bool failed_ = false;
    bool committed_ = false;
    std::vector<uint8_t> content_; // in place: the new content until Commit()
    size_t appendAt_ = 0;          // in place: where Write() goes on
};

} // namespace vorlane
