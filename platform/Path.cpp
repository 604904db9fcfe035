#include "platform/Path.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <fcntl.h>
#include <unistd.h>

#include "platform/CodePage.h"

namespace vorlane::path {
namespace {

bool IsLeadByte(unsigned char byte, Rules rules)
{
    return rules == Rules::Windows && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
}

bool IsFolderDelimiter(char c, Rules rules)
{
    return rules == Rules::Native ? c == '/' : (c == '\\' || c == ':');
}

// Position of the last character start whose byte is in `delimiters`, or npos. Scanning goes forward
// character by character so that a trailing byte of a double-byte character is never matched.
size_t LastDelimiter(std::string_view path, Rules rules, bool dot)
{
    size_t found = std::string_view::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (IsFolderDelimiter(c, rules) || (dot && c == '.'))
            found = i;
        if (IsLeadByte(static_cast<unsigned char>(c), rules) && i + 1 < path.size())
            ++i;
    }
    return found;
}

// Whether a file can really be created in `folder`. access(W_OK) answers for the permission bits only
// and says yes to root everywhere; creating (and removing) a file also meets read-only mounts,
// immutable folders and whatever else the file system refuses.
bool CanCreateFileIn(const std::string& folder)
{
    static unsigned probeCount = 0;
    const std::string probe = folder + ".vorlane-write-probe-" + std::to_string(::getpid()) + "-" +
                              std::to_string(++probeCount);
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
    static constexpr const char* SystemFolders[] = {"/usr/bin/", "/usr/sbin/", "/usr/local/bin/",
                                                    "/usr/local/sbin/", "/usr/games/", "/usr/local/games/",
                                                    "/bin/", "/sbin/"};
    for (const char* system : SystemFolders)
        if (folder == system)
            return true;
    return false;
}

std::string& ProgramFolderOverride()
{
    static std::string folder;
    return folder;
}

} // namespace

bool IsWindowsPath(std::string_view path)
{
    const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    return (path.size() >= 2 && isLetter(path[0]) && path[1] == ':') || path.starts_with("\\\\");
}

Rules RulesOf(std::string_view path)
{
    if (!IsWindowsPath(path))
        return Rules::Native;
    return codepage::IsValidUtf8(path) ? Rules::WindowsUtf8 : Rules::Windows;
}

char Separator(Rules rules)
{
    return rules == Rules::Native ? '/' : '\\';
}

std::string ExtractFileName(std::string_view path, Rules rules)
{
    const size_t at = LastDelimiter(path, rules, false);
    return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

std::string ExtractFilePath(std::string_view path, Rules rules)
{
    const size_t at = LastDelimiter(path, rules, false);
    return at == std::string_view::npos ? std::string() : std::string(path.substr(0, at + 1));
}

std::string ExtractFileDir(std::string_view path, Rules rules)
{
    size_t at = LastDelimiter(path, rules, false);
    if (at == std::string_view::npos)
        return {};
    // Drop the trailing separator unless it ends a root ("C:\", "/").
    if (at > 0 && path[at] == Separator(rules)) {
        const size_t before = LastDelimiter(path.substr(0, at), rules, false);
        if (before != at - 1)
            return std::string(path.substr(0, at));
    }
    return std::string(path.substr(0, at + 1));
}

std::string ExtractFileExt(std::string_view path, Rules rules)
{
    const size_t at = LastDelimiter(path, rules, true);
    if (at == std::string_view::npos || path[at] != '.')
        return {};
    return std::string(path.substr(at));
}

std::string ChangeFileExt(std::string_view path, std::string_view extension, Rules rules)
{
    const size_t at = LastDelimiter(path, rules, true);
    std::string result(at == std::string_view::npos || path[at] != '.' ? path : path.substr(0, at));
    result.append(extension);
    return result;
}

std::string AsciiLowerCase(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return result;
}

std::string ExecutableFolder()
{
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return "./";
    return ExtractFilePath(std::string_view(buffer, static_cast<size_t>(length)));
}

std::string ProgramFolder()
{
    if (!ProgramFolderOverride().empty())
        return ProgramFolderOverride();
    const std::string executable = ExecutableFolder();
    if (!IsSystemProgramFolder(executable) && CanCreateFileIn(executable))
        return executable;

    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        data = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        data = std::string(home) + "/.local/share";
    else
        return executable;
    data += "/vorlane/";
    std::error_code ignored;
    std::filesystem::create_directories(data, ignored);
    return data;
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

void SetProgramFolderForTesting(const std::string& folder)
{
    ProgramFolderOverride() = folder;
}

} // namespace vorlane::path
