// A file's identity on Windows: the volume's serial number and the file's index on it stand for device
// and inode; the last write time is counted in 100-nanosecond steps.
#include "platform/FileIdentity.h"

#include <windows.h>

namespace vorlane {
namespace {

std::optional<BY_HANDLE_FILE_INFORMATION> InformationOf(const std::string& path)
{
    // No access asked for: the identity is readable even of a file that may not be read, and a folder
    // opens with the backup flag.
    const HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION information{};
    const bool ok = GetFileInformationByHandle(file, &information);
    CloseHandle(file);
    if (!ok)
        return std::nullopt;
    return information;
}

uint64_t Combined(DWORD high, DWORD low)
{
    return (uint64_t(high) << 32) | low;
}

} // namespace

std::optional<FileIdentity> IdentityOf(const std::string& path)
{
    const auto information = InformationOf(path);
    if (!information)
        return std::nullopt;
    FileIdentity identity;
    identity.device = information->dwVolumeSerialNumber;
    identity.inode = Combined(information->nFileIndexHigh, information->nFileIndexLow);
    identity.size = int64_t(Combined(information->nFileSizeHigh, information->nFileSizeLow));
    identity.modifiedNs =
        int64_t(Combined(information->ftLastWriteTime.dwHighDateTime, information->ftLastWriteTime.dwLowDateTime)) *
        100;
    return identity;
}

bool SameFile(const std::string& a, const std::string& b)
{
    const auto first = IdentityOf(a);
    const auto second = IdentityOf(b);
    return first && second && first->device == second->device && first->inode == second->inode;
}

} // namespace vorlane
