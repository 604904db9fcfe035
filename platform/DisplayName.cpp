#include "platform/DisplayName.h"

#include "platform/CodePage.h"
#include "platform/Path.h"

namespace vorlane::display {

// The name is split before it is converted: the rules know the stored encoding's character boundaries,
// and a whole character converts the same on its own as inside the name.
std::string FileName(std::string_view storedName)
{
    return codepage::DisplayText(path::ExtractFileName(storedName, path::RulesOf(storedName)));
}

std::string FileTitle(std::string_view storedName)
{
    std::string title;
    FileTitle(storedName, title);
    return title;
}

void FileTitle(std::string_view storedName, std::string& title)
{
    const path::Rules rules = path::RulesOf(storedName);
    const std::string_view bytes = path::WithoutFileExt(path::FileNamePart(storedName, rules), rules);
    if (codepage::IsValidUtf8(bytes))
        title.assign(bytes);
    else
        title = codepage::DisplayText(bytes);
}

} // namespace vorlane::display
