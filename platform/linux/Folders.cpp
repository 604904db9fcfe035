// Where the program's files live: the executable's folder, the user's data folder and the settings folder.
#include "platform/Path.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>
#include <fcntl.h>
#include <unistd.h>

#include "platform/CodePage.h"
#include "platform/DisplayName.h"
#include "platform/FoldersSystem.h"
#include "platform/NativePathRules.h"

namespace vorlane::path {

namespace detail {
const Rules NativeRules = Rules::Native;
} // namespace detail

namespace {

// Whether a file can really be created in `folder`. access(W_OK) answers for the permission bits only
// and says yes to root everywhere; creating (and removing) a file also meets read-only mounts,
// immutable folders and whatever else the file system refuses.
bool CanCreateFileIn(const std::string& folder)
{
    static unsigned probeCount = 0;
    const std::string probe =
        folder + ".vorlane-write-probe-" + std::to_string(::getpid()) + "-" + std::to_string(++probeCount);
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

// The folders packages install programs into. Root can write there, but galleries and "Temp.bmp" of an
// installed program belong in the user's data folder all the same.
bool IsSystemProgramFolder(const std::string& folder)
{
    static constexpr const char* SystemFolders[] = {
        "/usr/bin/",   "/usr/sbin/",        "/usr/local/bin/", "/usr/local/sbin/",
        "/usr/games/", "/usr/local/games/", "/bin/",           "/sbin/"};
    for (const char* system : SystemFolders)
        if (folder == system)
            return true;
    return false;
}

} // namespace

bool detail::ProgramMayWriteIn(const std::string& folder)
{
    return !IsSystemProgramFolder(folder) && CanCreateFileIn(folder);
}

std::string detail::UserProgramFolder()
{
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        data = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        data = std::string(home) + "/.local/share";
    else
        return {};
    data += "/vorlane/";
    std::error_code ignored;
    std::filesystem::create_directories(data, ignored);
    return data;
}

std::string ExpandFileName(const std::string& path)
{
    return std::filesystem::absolute(std::filesystem::path(path)).lexically_normal().string();
}

std::string ExecutablePath()
{
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

std::string ExecutableFolder()
{
    const std::string executable = ExecutablePath();
    return executable.empty() ? "./" : ExtractFilePath(executable);
}

std::string OpenableName(const std::string& stored)
{
    if (IsWindowsPath(stored))
        return ProgramFolder() + display::FileName(stored);
    if (!codepage::IsValidUtf8(stored))
        if (std::optional<std::string> utf8 = codepage::ShiftJisToUtf8(stored))
            return *utf8;
    return stored;
}

std::string SettingsFolder()
{
    std::string folder;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        folder = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        folder = std::string(home) + "/.config";
    else
        folder = ".";
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace vorlane::path
