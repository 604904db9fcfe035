// The program folder: beside the executable where the program may write there, otherwise the user's
// own folder for it.
#include "platform/FoldersSystem.h"
#include "platform/Path.h"

namespace vorlane::path {
namespace {

std::string& ProgramFolderOverride()
{
    static std::string folder;
    return folder;
}

} // namespace

std::string ProgramFolder()
{
    if (!ProgramFolderOverride().empty())
        return ProgramFolderOverride();
    const std::string executable = ExecutableFolder();
    if (detail::ProgramMayWriteIn(executable))
        return executable;
    const std::string user = detail::UserProgramFolder();
    return user.empty() ? executable : user;
}

void SetProgramFolderForTesting(const std::string& folder)
{
    ProgramFolderOverride() = folder;
}

} // namespace vorlane::path
