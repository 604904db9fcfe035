// Replacing a file on Windows. rename() refuses an existing target; MoveFileEx replaces it in one step.
// A temporary file is held open by its writer, which keeps any other process from removing it, so a
// cleaner needs no lock of its own. Windows keeps no mode or owner bits to carry over: a file marked
// read-only is refused, a file with several names is written in place.
#include "platform/ReplacedFile.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/ReplacedFileNames.h"

namespace vorlane {
namespace {

using replaced::FolderOf;

bool ProcessAlive(DWORD pid)
{
    if (pid == GetCurrentProcessId())
        return true;
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED; // somebody else's, and running
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

bool WriteAll(int fd, const uint8_t* data, size_t size, int64_t offset)
{
    if (offset >= 0 && _lseeki64(fd, offset, SEEK_SET) != offset)
        return false;
    size_t done = 0;
    while (done < size) {
        const int n = _write(fd, data + done, unsigned(std::min<size_t>(size - done, 1u << 30)));
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

bool ReadAll(int fd, std::vector<uint8_t>& bytes)
{
    const int64_t size = _filelengthi64(fd);
    if (size < 0 || _lseeki64(fd, 0, SEEK_SET) != 0)
        return false;
    bytes.resize(size_t(size));
    size_t done = 0;
    while (done < bytes.size()) {
        const int n = _read(fd, bytes.data() + done, unsigned(std::min<size_t>(bytes.size() - done, 1u << 30)));
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

bool Replace(int fd, const std::vector<uint8_t>& bytes)
{
    return WriteAll(fd, bytes.data(), bytes.size(), 0) && _chsize_s(fd, int64_t(bytes.size())) == 0 && _commit(fd) == 0;
}

} // namespace

// An in-place write here keeps no record: a writer killed in the middle may leave a mix (a known limit
// of this side).
void ReplacedFile::Recover(const std::string&)
{
}

void ReplacedFile::RemoveStaleTemporaries(const std::string& folder)
{
    WIN32_FIND_DATAA found{};
    const std::string pattern = folder + replaced::TemporaryPrefix + "*" + replaced::TemporarySuffix;
    const HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::optional<unsigned long> writer = replaced::WriterOf(found.cFileName);
        if (writer && !ProcessAlive(DWORD(*writer)) && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileA((folder + found.cFileName).c_str()); // fails while anybody holds it open
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

ReplacedFile::ReplacedFile(const std::string& target, mode_t) : target_(target)
{
    RemoveStaleTemporaries(FolderOf(target));

    const HANDLE old = CreateFileA(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION information{};
    const bool exists = old != INVALID_HANDLE_VALUE && GetFileInformationByHandle(old, &information) &&
                        !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    if (old != INVALID_HANDLE_VALUE)
        CloseHandle(old);
    if (exists && (information.dwFileAttributes & FILE_ATTRIBUTE_READONLY))
        return; // refused: not Open()
    if (exists && information.nNumberOfLinks > 1) {
        state_ = State::InPlace; // replacing one name would part it from the others
        return;
    }
    if (!CreateTemporary(0)) {
        if (exists)
            state_ = State::InPlace; // a folder that takes no new file, a file that may be written
        return;
    }
    state_ = State::Temporary;
}

bool ReplacedFile::CreateTemporary(mode_t)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        const unsigned long long random = (unsigned long long)GetTickCount64() * 0x9E3779B97F4A7C15ull ^
                                          (unsigned long long)(uintptr_t)this ^ (unsigned long long)attempt << 48;
        temporary_ = replaced::TemporaryFor(target_, GetCurrentProcessId(), random);
        fd_ = _open(temporary_.c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
        if (fd_ >= 0)
            return true;
        if (errno != EEXIST)
            return false;
    }
    return false;
}

void ReplacedFile::DropTemporary()
{
    if (fd_ >= 0)
        _close(fd_); // an open file cannot be removed here
    fd_ = -1;
    DeleteFileA(temporary_.c_str());
}

bool ReplacedFile::WriteTemporary(std::span<const uint8_t> bytes, off_t at)
{
    if (at < 0)
        return WriteAll(fd_, bytes.data(), bytes.size(), -1);
    // Out of order: written at its place, and the next append goes on from the end.
    const int64_t end = _lseeki64(fd_, 0, SEEK_END);
    return end >= 0 && WriteAll(fd_, bytes.data(), bytes.size(), at) &&
           _lseeki64(fd_, std::max<int64_t>(end, at + int64_t(bytes.size())), SEEK_SET) >= 0;
}

bool ReplacedFile::CommitTemporary(bool sync)
{
    if (failed_ || (sync && _commit(fd_) != 0) || _close(fd_) != 0) {
        fd_ = -1;
        DropTemporary();
        return false;
    }
    fd_ = -1;
    committed_ = MoveFileExA(temporary_.c_str(), target_.c_str(),
                             MOVEFILE_REPLACE_EXISTING | (sync ? MOVEFILE_WRITE_THROUGH : 0)) != FALSE;
    if (!committed_)
        DropTemporary();
    return committed_;
}

bool ReplacedFile::CommitInPlace()
{
    const int fd = _open(target_.c_str(), _O_RDWR | _O_BINARY | _O_NOINHERIT);
    if (fd < 0)
        return false;
    std::vector<uint8_t> old;
    bool ok = ReadAll(fd, old);
    if (ok) {
        std::vector<uint8_t> check;
        ok = Replace(fd, content_) && ReadAll(fd, check) && check == content_;
        if (!ok)
            Replace(fd, old); // as much of the old content back as the disk takes
    }
    ok = _close(fd) == 0 && ok;
    committed_ = ok;
    return ok;
}

} // namespace vorlane
