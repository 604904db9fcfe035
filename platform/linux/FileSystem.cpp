// The file system on Linux: the POSIX calls.
#include "platform/FileSystem.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Exceptions.h"

namespace vorlane::files {
namespace {

Kind KindOfMode(mode_t mode)
{
    return S_ISREG(mode) ? Kind::Regular : S_ISDIR(mode) ? Kind::Folder : S_ISLNK(mode) ? Kind::Link : Kind::Other;
}

} // namespace

Kind KindOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? KindOfMode(st.st_mode) : Kind::None;
}

Kind EntryKindOf(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? KindOfMode(st.st_mode) : Kind::None;
}

bool BelongsToThisUser(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && st.st_uid == ::geteuid();
}

std::string ResolvedPath(const std::string& path)
{
    std::string resolved;
    if (char* name = ::realpath(path.c_str(), nullptr)) {
        resolved = name;
        std::free(name);
    }
    return resolved;
}

bool IsSocket(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* entries = ::opendir(folder.c_str());
    if (!entries)
        return names;
    while (const dirent* entry = ::readdir(entries))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    ::closedir(entries);
    return names;
}

std::string LinkTarget(const std::string& path)
{
    char buffer[PATH_MAX + 1];
    const ssize_t length = ::readlink(path.c_str(), buffer, sizeof buffer);
    if (length <= 0 || size_t(length) >= sizeof buffer)
        return {};
    return std::string(buffer, size_t(length));
}

bool MakeSymbolicLink(const std::string& target, const std::string& link)
{
    return ::symlink(target.c_str(), link.c_str()) == 0;
}

bool RemoveFile(const std::string& path)
{
    return ::unlink(path.c_str()) == 0;
}

bool MakeOwnFolder(const std::string& path)
{
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

namespace {
constexpr size_t LongestPath = PATH_MAX - 1;
}

bool PathFits(const std::string& path)
{
    return path.size() <= LongestPath;
}

void CheckPathLength(const std::string& path)
{
    if (!PathFits(path))
        throw EPathTooLong(Format(msg::PathTooLong, path.c_str(), (std::to_string(LongestPath) + " バイト").c_str()));
}

Renamed RenameWithoutReplacing(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return Renamed::Yes;
    return errno == EEXIST ? Renamed::NameTaken : Renamed::Failed;
}

unsigned NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

int OpenToRead(const std::string& path)
{
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

int OpenRegularFileToRead(const std::string& path)
{
    // Opened without waiting, so a pipe cannot block; reads wait again once it is known to be a file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::fcntl(fd, F_SETFL, 0) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int CreateToWrite(const std::string& path)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

int64_t ReadSome(int fd, void* buffer, size_t count)
{
    ssize_t n;
    do
        n = ::read(fd, buffer, count);
    while (n < 0 && errno == EINTR);
    return n;
}

int64_t WriteSome(int fd, const void* buffer, size_t count)
{
    ssize_t n;
    do
        n = ::write(fd, buffer, count);
    while (n < 0 && errno == EINTR);
    return n;
}

int64_t SeekTo(int fd, int64_t offset, From from)
{
    const int whence = from == From::Start ? SEEK_SET : from == From::Current ? SEEK_CUR : SEEK_END;
    return ::lseek(fd, off_t(offset), whence);
}

std::optional<int64_t> RegularFileSize(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return int64_t(st.st_size);
}

std::optional<int64_t> RegularFileSize(std::FILE* file)
{
    return RegularFileSize(::fileno(file));
}

bool SyncFile(int fd)
{
    return ::fsync(fd) == 0;
}

bool CloseFile(int fd)
{
    return ::close(fd) == 0;
}

std::FILE* ReadingStream(int fd)
{
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file)
        ::close(fd);
    return file;
}

} // namespace vorlane::files
