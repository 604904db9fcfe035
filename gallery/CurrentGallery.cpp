#include "gallery/CurrentGallery.h"

#include <optional>

#include "platform/CodePage.h"
#include "platform/DisplayName.h"
#include "platform/Path.h"
#include "platform/Profile.h"

namespace vorlane {

std::string StartGalleryName(const std::string& stored)
{
    const bool windowsHere = path::Separator() == '\\';
    if (windowsHere)
        return stored;
    if (path::IsWindowsPath(stored))
        return path::ProgramFolder() + display::FileName(stored);
    if (!codepage::IsValidUtf8(stored))
        if (std::optional<std::string> utf8 = codepage::ShiftJisToUtf8(stored))
            return *utf8;
    return stored;
}

std::string CurrentGalleryName()
{
    const TIniFile settings("Vorlane.ini");
    return StartGalleryName(settings.ReadString("Initial", "Manager", path::ProgramFolder() + "画集"));
}

} // namespace vorlane
