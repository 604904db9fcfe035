#include "app/DamagedGallery.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/Exceptions.h"

namespace vorlane {
namespace {

constexpr int MaxBackupNames = 1000;

bool Exists(const std::string& file)
{
    struct stat info {};
    return ::lstat(file.c_str(), &info) == 0;
}

} // namespace

void DamagedGalleryGuard::LoadFailed(const std::string& galleryFile)
{
    if (Exists(galleryFile))
        damaged_ = galleryFile;
}

void DamagedGalleryGuard::BeforeSave(const std::string& galleryFile)
{
    if (!damaged_ || *damaged_ != galleryFile)
        return;
    if (!Exists(galleryFile)) {
        damaged_.reset();
        return;
    }
    std::string backup = galleryFile + ".bak";
    for (int n = 2; n <= MaxBackupNames + 1; ++n) {
        // Never replaces a file of that name, not even one made meanwhile.
        if (::renameat2(AT_FDCWD, galleryFile.c_str(), AT_FDCWD, backup.c_str(), RENAME_NOREPLACE) == 0) {
            setAside_ = backup;
            damaged_.reset();
            return;
        }
        if (errno != EEXIST)
            break;
        backup = galleryFile + ".bak" + std::to_string(n);
    }
    throw EFCreateError(Format(msg::FCreateError, backup.c_str()));
}

} // namespace vorlane
