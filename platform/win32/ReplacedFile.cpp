// Replacing a file on Windows: rename() refuses an existing target, MoveFileEx replaces it.
#include "platform/ReplacedFile.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace vorlane {
namespace {

// A new file beside `target`, named apart from every other process and save.
int CreateTemporary(const std::string& target, std::string& temporary)
{
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++) + ".tmp";
        const int fd = _open(temporary.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                             _S_IREAD | _S_IWRITE);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

// The permission bits have no counterpart here: a new file takes the folder's access rights.
ReplacedFile::ReplacedFile(const std::string& target, mode_t) : target_(target)
{
    fd_ = CreateTemporary(target_, temporary_);
    created_ = fd_ >= 0;
}

ReplacedFile::~ReplacedFile()
{
    if (fd_ >= 0)
        _close(fd_);
    if (created_ && !committed_)
        DeleteFileA(temporary_.c_str());
}

bool ReplacedFile::Write(std::span<const uint8_t> bytes)
{
    size_t written = 0;
    while (!failed_ && written < bytes.size()) {
        const size_t chunk = std::min<size_t>(bytes.size() - written, 1u << 30);
        const int n = _write(fd_, bytes.data() + written, unsigned(chunk));
        failed_ = n <= 0;
        if (!failed_)
            written += size_t(n);
    }
    return !failed_;
}

bool ReplacedFile::Commit(bool sync)
{
    if (fd_ < 0)
        return false;
    bool ok = !failed_ && (!sync || _commit(fd_) == 0);
    ok = _close(fd_) == 0 && ok;
    fd_ = -1;
    committed_ = ok && MoveFileExA(temporary_.c_str(), target_.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | (sync ? MOVEFILE_WRITE_THROUGH : 0)) != FALSE;
    return committed_;
}

} // namespace vorlane
