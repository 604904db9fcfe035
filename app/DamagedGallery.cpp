#include "app/DamagedGallery.h"

#include <cstdio>

#include "platform/Exceptions.h"
#include "platform/FileSystem.h"

namespace vorlane {
namespace {

constexpr int MaxBackupNames = 1000;

bool Exists(const std::string& file)
{
    return files::EntryKindOf(file) != files::Kind::None;
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
        const files::Renamed renamed = files::RenameWithoutReplacing(galleryFile, backup);
        if (renamed == files::Renamed::Yes) {
            setAside_ = backup;
            damaged_.reset();
            return;
        }
        if (renamed == files::Renamed::Failed)
            break;
        backup = galleryFile + ".bak" + std::to_string(n);
    }
    throw EFCreateError(Format(msg::FCreateError, backup.c_str()));
}

} // namespace vorlane
