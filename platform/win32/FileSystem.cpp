// The file system on Windows: the C runtime's descriptors (binary, not inherited by child processes)
// and MoveFileEx. Names are in the ANSI code page, as the runtime's narrow calls take them.
#include "platform/FileSystem.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <windows.h>

#include "platform/Exceptions.h"
#include "platform/win32/Wide.h"

namespace vorlane::files {

Kind KindOf(const std::string& path)
{
    struct _stat64 st {};
    if (::_stat64(path.c_str(), &st) != 0)
        return Kind::None;
    return (st.st_mode & _S_IFMT) == _S_IFREG   ? Kind::Regular
           : (st.st_mode & _S_IFMT) == _S_IFDIR ? Kind::Folder
                                                : Kind::Other;
}

Kind EntryKindOf(const std::string& path)
{
    return KindOf(path);
}

bool BelongsToThisUser(const std::string& path)
{
    return EntryKindOf(path) != Kind::None;
}

std::string ResolvedPath(const std::string& path)
{
    std::string resolved;
    if (KindOf(path) == Kind::None)
        return resolved;
    if (char* name = ::_fullpath(nullptr, path.c_str(), _MAX_PATH)) {
        resolved = name;
        std::free(name);
    }
    return resolved;
}

bool IsSocket(const std::string&)
{
    return false;
}

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::string LinkTarget(const std::string&)
{
    return {};
}

bool MakeSymbolicLink(const std::string&, const std::string&)
{
    return false;
}

bool RemoveFile(const std::string& path)
{
    return DeleteFileA(path.c_str()) != 0;
}

bool MakeOwnFolder(const std::string& path)
{
    return CreateDirectoryA(path.c_str(), nullptr) != 0 || GetLastError() == ERROR_ALREADY_EXISTS;
}

namespace {
constexpr size_t LongestPath = MAX_PATH - 1;
}

// Counted as the system counts it: the path's characters in UTF-16. Bytes that are no text of the code
// page count one each.
bool PathFits(const std::string& path)
{
    const std::optional<std::wstring> wide = win32::ToWide(path, CP_ACP);
    return (wide ? wide->size() : path.size()) <= LongestPath;
}

void CheckPathLength(const std::string& path)
{
    if (!PathFits(path))
        throw EPathTooLong(Format(msg::PathTooLong, path.c_str(), (std::to_string(LongestPath) + " 文字").c_str()));
}

Renamed RenameWithoutReplacing(const std::string& from, const std::string& to)
{
    if (MoveFileExA(from.c_str(), to.c_str(), 0))
        return Renamed::Yes;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? Renamed::NameTaken : Renamed::Failed;
}

unsigned NewFileMode()
{
    const int mask = ::_umask(0);
    ::_umask(mask);
    return 0666u & ~unsigned(mask);
}

int OpenToRead(const std::string& path)
{
    return ::_open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

int OpenRegularFileToRead(const std::string& path)
{
    // No pipe or device has a name in the file system here; a folder does not open.
    const int fd = OpenToRead(path);
    if (fd >= 0 && !RegularFileSize(fd)) {
        ::_close(fd);
        return -1;
    }
    return fd;
}

int CreateToWrite(const std::string& path)
{
    return ::_open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

int64_t ReadSome(int fd, void* buffer, size_t count)
{
    return ::_read(fd, buffer, unsigned(std::min<size_t>(count, INT_MAX)));
}

int64_t WriteSome(int fd, const void* buffer, size_t count)
{
    return ::_write(fd, buffer, unsigned(std::min<size_t>(count, INT_MAX)));
}

int64_t SeekTo(int fd, int64_t offset, From from)
{
    const int whence = from == From::Start ? SEEK_SET : from == From::Current ? SEEK_CUR : SEEK_END;
    return ::_lseeki64(fd, offset, whence);
}

std::optional<int64_t> RegularFileSize(int fd)
{
    struct _stat64 st {};
    if (::_fstat64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG)
        return std::nullopt;
    return int64_t(st.st_size);
}

std::optional<int64_t> RegularFileSize(std::FILE* file)
{
    return RegularFileSize(::_fileno(file));
}

bool SyncFile(int fd)
{
    return ::_commit(fd) == 0;
}

bool CloseFile(int fd)
{
    return ::_close(fd) == 0;
}

std::FILE* ReadingStream(int fd)
{
    std::FILE* file = ::_fdopen(fd, "rb");
    if (!file)
        ::_close(fd);
    return file;
}

} // namespace vorlane::files
