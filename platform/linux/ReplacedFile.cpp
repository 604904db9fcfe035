#include "platform/ReplacedFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <optional>

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
    return TransferAll(bytes.size(), [&](size_t done) {
        return ::pread(fd, bytes.data() + done, bytes.size() - done, off_t(done));
    });
}

bool Replace(int fd, const std::vector<uint8_t>& bytes)
{
    return TransferAll(bytes.size(),
                       [&](size_t done) { return ::pwrite(fd, bytes.data() + done, bytes.size() - done, off_t(done)); }) &&
           ::ftruncate(fd, off_t(bytes.size())) == 0 &&
           ::fsync(fd) == 0;
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

} // namespace

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
        struct stat opened {}, named {};
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
        const bool owned = ::fstat(fd_, &made) == 0 &&
                           ((made.st_uid == old.st_uid && made.st_gid == old.st_gid) ||
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
    if (ok) {
        std::vector<uint8_t> check;
        ok = Replace(fd, content_) && ReadAll(fd, check) && check == content_;
        if (!ok && Replace(fd, old)) { // as much of the old content back as the disk takes
            const timespec times[2] = {before.st_atim, before.st_mtim};
            ::futimens(fd, times); // the old version, as readers who saw it know it
        }
    }
    ok = ::close(fd) == 0 && ok;
    committed_ = ok;
    return ok;
}

} // namespace vorlane
