#include "gallery/CurrentGallery.h"

#include "platform/Path.h"
#include "platform/Profile.h"

namespace vorlane {

std::string StartGalleryName(const std::string& stored)
{
    return path::OpenableName(stored);
}

std::string CurrentGalleryName()
{
    const TIniFile settings(SettingsFileName);
    return StartGalleryName(settings.ReadString("Initial", "Manager", path::ProgramFolder() + "画集"));
}

} // namespace vorlane
