#include "platform/ReplacedFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/ByteCursor.h"
#include "platform/FolderLockSystem.h"
#include "platform/ReplacedFileNames.h"

namespace vorlane {
namespace {

using replaced::FolderOf;

bool ProcessAlive(pid_t pid)
{
    return pid == ::getpid() || ::kill(pid, 0) == 0 || errno == EPERM;
}

// Repeats `transfer(done)`, a read or write of what is left after `done` bytes, until `size` bytes went
// through; false on an error or an end of file.
template <typename Transfer>
bool TransferAll(size_t size, Transfer transfer)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = transfer(done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

bool ReadAll(int fd, std::vector<uint8_t>& bytes)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    bytes.resize(size_t(st.st_size));
    return TransferAll(bytes.size(),
                       [&](size_t done) { return ::pread(fd, bytes.data() + done, bytes.size() - done, off_t(done)); });
}

bool Replace(int fd, std::span<const uint8_t> bytes)
{
    return TransferAll(
               bytes.size(),
               [&](size_t done) { return ::pwrite(fd, bytes.data() + done, bytes.size() - done, off_t(done)); }) &&
           ::ftruncate(fd, off_t(bytes.size())) == 0 && ::fsync(fd) == 0;
}

// A record of an in-place write under way, in the user's private folder, named after the file's identity:
// the old content and the new, so that the write is undone when its writer died before it finished. Its
// writer holds it locked while it lives; it is complete once it has its name (written under another,
// flushed, renamed, the folder flushed). Layout, little-endian:
//   "VLJ1", device (u64), inode (u64), the old version's modification time (seconds, nanoseconds: u64
//   each), old size (u64), new size (u64), the old bytes, the new bytes.
constexpr char JournalMagic[4] = {'V', 'L', 'J', '1'};

std::string JournalName(const std::string& privateFolder, const struct stat& file)
{
    return privateFolder + "inplace-" + std::to_string(uint64_t(file.st_dev)) + "-" +
           std::to_string(uint64_t(file.st_ino)) + ".journal";
}

struct Journal {
    uint64_t device = 0;
    uint64_t inode = 0;
    timespec modified{};
    std::span<const uint8_t> old;
    std::span<const uint8_t> fresh;
};

// The one reader of a journal; none when `bytes` is not a whole one.
std::optional<Journal> ParseJournal(std::span<const uint8_t> bytes)
{
    try {
        ByteReader reader(bytes);
        if (std::memcmp(reader.ReadBytes(4).data(), JournalMagic, 4) != 0)
            return std::nullopt;
        Journal journal;
        journal.device = reader.ReadU64();
        journal.inode = reader.ReadU64();
        journal.modified.tv_sec = time_t(reader.ReadU64());
        journal.modified.tv_nsec = long(reader.ReadU64() % 1000000000u);
        const uint64_t oldSize = reader.ReadU64();
        const uint64_t newSize = reader.ReadU64();
        if (oldSize > reader.Remaining() || newSize != reader.Remaining() - oldSize)
            return std::nullopt;
        journal.old = reader.ReadBytes(size_t(oldSize));
        journal.fresh = reader.ReadBytes(size_t(newSize));
        return journal;
    } catch (const EReadError&) {
        return std::nullopt;
    }
}

// What an in-place write of `fresh` over `old` leaves at any point: the new bytes up to where it got,
// the old ones after (each byte one or the other, the length between the two).
bool PartlyWritten(const std::vector<uint8_t>& now, std::span<const uint8_t> old, std::span<const uint8_t> fresh)
{
    if (now.size() > std::max(old.size(), fresh.size()) || now.size() < std::min(old.size(), fresh.size()))
        return false;
    for (size_t i = 0; i < now.size(); ++i)
        if (!(i < fresh.size() && now[i] == fresh[i]) && !(i < old.size() && now[i] == old[i]))
            return false;
    return true;
}

// The rename is durable once the folder is; a failure here loses nothing.
void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The journal of one in-place write, from before the first byte goes into the file until it is all there.
class JournalWriter {
public:
    // Records `old` and `fresh` for the file `file`; Ready() tells whether the record is complete.
    JournalWriter(const struct stat& file, const std::vector<uint8_t>& old, const std::vector<uint8_t>& fresh)
    {
        const std::string folder = folderlock::PrivateFolder();
        if (folder.empty())
            return;
        name_ = JournalName(folder, file);
        const std::string writing = name_ + ".tmp";
        fd_ = ::open(writing.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        // Locked while this writer lives; a second in-place write of the same file at the same time fails
        // rather than wait.
        if (fd_ < 0 || ::flock(fd_, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd_, 0) != 0)
            return;
        ByteWriter header;
        header.WriteBytes(std::span(reinterpret_cast<const uint8_t*>(JournalMagic), 4));
        header.WriteU64(uint64_t(file.st_dev));
        header.WriteU64(uint64_t(file.st_ino));
        header.WriteU64(uint64_t(file.st_mtim.tv_sec));
        header.WriteU64(uint64_t(file.st_mtim.tv_nsec));
        header.WriteU64(old.size());
        header.WriteU64(fresh.size());
        off_t at = 0;
        for (const std::span<const uint8_t> part : {std::span<const uint8_t>(header.Bytes()),
                                                    std::span<const uint8_t>(old), std::span<const uint8_t>(fresh)}) {
            if (!TransferAll(part.size(), [&](size_t done) {
                    return ::pwrite(fd_, part.data() + done, part.size() - done, at + off_t(done));
                }))
                return;
            at += off_t(part.size());
        }
        ready_ = ::fsync(fd_) == 0 && ::rename(writing.c_str(), name_.c_str()) == 0;
        if (ready_)
            SyncFolder(folder);
    }
    ~JournalWriter()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    bool Ready() const { return ready_; }
    // The write is over and the file holds one whole version: the record goes, while still locked.
    void Finish()
    {
        if (ready_)
            ::unlink(name_.c_str());
        ready_ = false;
    }

private:
    std::string name_;
    int fd_ = -1;
    bool ready_ = false;
};

} // namespace

void ReplacedFile::Recover(const std::string& target)
{
    struct stat file {};
    if (::stat(target.c_str(), &file) != 0 || !S_ISREG(file.st_mode))
        return;
    const std::string folder = folderlock::PrivateFolder();
    if (folder.empty())
        return;
    const std::string name = JournalName(folder, file);
    const int fd = ::open(name.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC); // NFS locks only what may be written
    if (fd < 0)
        return;
    // Its writer is gone when nobody holds it, and the name still leads to the record that was opened.
    struct stat opened {
    }, named{};
    std::vector<uint8_t> record;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 && ::lstat(name.c_str(), &named) == 0 &&
        opened.st_dev == named.st_dev && opened.st_ino == named.st_ino && ReadAll(fd, record)) {
        const std::optional<Journal> journal = ParseJournal(record);
        bool settled = !journal || journal->device != uint64_t(file.st_dev) || journal->inode != uint64_t(file.st_ino);
        if (!settled) {
            const int targetFd = ::open(target.c_str(), O_RDWR | O_CLOEXEC);
            std::vector<uint8_t> now;
            struct stat same {};
            if (targetFd >= 0 && ::fstat(targetFd, &same) == 0 && same.st_dev == file.st_dev &&
                same.st_ino == file.st_ino && ReadAll(targetFd, now)) {
                // A mix goes back to the old version; a whole version, or a file that is none of these
                // (another file under a number used again), is left as it is.
                const auto whole = [&](std::span<const uint8_t> version) {
                    return std::equal(now.begin(), now.end(), version.begin(), version.end());
                };
                settled =
                    !PartlyWritten(now, journal->old, journal->fresh) || whole(journal->fresh) || whole(journal->old);
                if (!settled && Replace(targetFd, journal->old)) {
                    const timespec times[2] = {{0, UTIME_OMIT}, journal->modified};
                    ::futimens(targetFd, times); // the old version, as readers who saw it know it
                    settled = true;
                }
            }
            if (targetFd >= 0)
                ::close(targetFd);
        }
        if (settled)
            ::unlink(name.c_str());
    }
    ::close(fd);
}

void ReplacedFile::RemoveStaleTemporaries(const std::string& folder)
{
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::optional<unsigned long> writer = replaced::WriterOf(entry->d_name);
        if (!writer || *writer > unsigned(INT_MAX) || ProcessAlive(pid_t(*writer)))
            continue;
        // A writer holds its file locked while it lives: this one is not held by anybody, and the name
        // still leads to the file that was checked.
        const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened {
        }, named{};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 &&
            ::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(opened.st_mode) &&
            opened.st_dev == named.st_dev && opened.st_ino == named.st_ino)
            ::unlinkat(dirFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

ReplacedFile::ReplacedFile(const std::string& target, mode_t mode) : target_(target)
{
    RemoveStaleTemporaries(FolderOf(target));

    struct stat old {};
    const bool exists = ::lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    if (exists) {
        // A file without any write bit is write-protected for everyone, the owner and root included.
        if ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
            ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            return; // refused: Open() is false
        mode = old.st_mode & 07777;
    }
    if (exists && old.st_nlink > 1) {
        state_ = State::InPlace; // replacing one name would part it from the others
        return;
    }
    if (!CreateTemporary(mode)) {
        if (exists)
            state_ = State::InPlace; // a folder that takes no new file, a file that may be written
        return;
    }
    if (exists) {
        struct stat made {};
        const bool owned = ::fstat(fd_, &made) == 0 && ((made.st_uid == old.st_uid && made.st_gid == old.st_gid) ||
                                                        ::fchown(fd_, old.st_uid, old.st_gid) == 0);
        if (!owned || ::fchmod(fd_, mode) != 0) {
            DropTemporary();
            state_ = State::InPlace; // only the file itself keeps its owner
            return;
        }
    }
    state_ = State::Temporary;
}

bool ReplacedFile::CreateTemporary(mode_t mode)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        uint64_t random = 0;
        if (::getrandom(&random, sizeof random, 0) != sizeof random)
            random ^= uint64_t(attempt) * 0x9E3779B97F4A7C15u;
        temporary_ = replaced::TemporaryFor(target_, static_cast<unsigned long>(::getpid()), random);
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd_ >= 0)
            break;
        if (errno != EEXIST)
            return false;
    }
    if (fd_ < 0)
        return false;
    // Held while this writer lives: a cleaner in another process leaves the file alone.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 || ::fchmod(fd_, mode) != 0) {
        DropTemporary();
        return false;
    }
    return true;
}

void ReplacedFile::DropTemporary()
{
    if (fd_ >= 0) {
        ::unlink(temporary_.c_str()); // while still locked, so no cleaner takes a file being removed
        ::close(fd_);
    }
    fd_ = -1;
}

bool ReplacedFile::WriteTemporary(std::span<const uint8_t> bytes, off_t at)
{
    return TransferAll(bytes.size(), [&](size_t done) {
        const uint8_t* data = bytes.data() + done;
        const size_t size = bytes.size() - done;
        return at < 0 ? ::write(fd_, data, size) : ::pwrite(fd_, data, size, at + off_t(done));
    });
}

bool ReplacedFile::CommitTemporary(bool sync)
{
    if (failed_ || (sync && ::fsync(fd_) != 0)) {
        DropTemporary();
        return false;
    }
    committed_ = std::rename(temporary_.c_str(), target_.c_str()) == 0;
    if (!committed_) {
        DropTemporary();
        return false;
    }
    ::close(fd_); // the lock goes with it, after the rename
    fd_ = -1;
    if (sync)
        SyncFolder(FolderOf(target_));
    return true;
}

bool ReplacedFile::CommitInPlace()
{
    const int fd = ::open(target_.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::vector<uint8_t> old;
    struct stat before {};
    bool ok = ::fstat(fd, &before) == 0 && ReadAll(fd, old);
    if (ok && old != content_) {
        // Nothing goes into the file before the record that undoes it is complete; a writer killed on
        // the way leaves the record, and the next Recover() puts the old version back.
        JournalWriter journal(before, old, content_);
        std::vector<uint8_t> check;
        ok = journal.Ready() && Replace(fd, content_) && ReadAll(fd, check) && check == content_;
        if (ok) {
            journal.Finish();
        } else if (journal.Ready() && Replace(fd, old)) { // as much of the old content back as the disk takes
            journal.Finish();
            const timespec times[2] = {before.st_atim, before.st_mtim};
            ::futimens(fd, times); // the old version, as readers who saw it know it
        }
    }
    ok = ::close(fd) == 0 && ok;
    committed_ = ok;
    return ok;
}

} // namespace vorlane
