// The settings file through the Windows profile functions themselves.
#include "platform/Profile.h"

#include <windows.h>
// <windows.h> names its ANSI or wide function by these; here they are our own.
#undef GetPrivateProfileString
#undef WritePrivateProfileString

#include "platform/Path.h"
#include "platform/ProfileText.h"
#include "platform/win32/SettingsFolder.h"

namespace vorlane {
namespace {

// The profile functions write a line break as given.
std::string OneLine(std::string_view text)
{
    return std::string(profile::OneLine(text));
}

bool IsBareName(const std::string& file)
{
    return file.find_first_of("\\/:") == std::string::npos;
}

bool SettingsInWindowsFolder()
{
    return path::SettingsFolder() == path::detail::WindowsFolder();
}

// A user who may not write the Windows directory's file keeps a copy of their own; until its first write,
// what the Windows directory's file says is read.
std::string ReadablePath(const std::string& file)
{
    const std::string path = ProfileFilePath(file);
    if (IsBareName(file) && !SettingsInWindowsFolder() && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return path::detail::WindowsFolder() + file;
    return path;
}

// The user's copy is made on its first write: its folder, then what the Windows directory's file holds, so
// that no other key is lost with the move.
std::string WritablePath(const std::string& file)
{
    const std::string path = ProfileFilePath(file);
    if (IsBareName(file) && !SettingsInWindowsFolder()) {
        CreateDirectoryA(path::SettingsFolder().c_str(), nullptr);
        const std::string old = path::detail::WindowsFolder() + file;
        if (CopyFileA(old.c_str(), path.c_str(), TRUE)) {
            const DWORD attributes = GetFileAttributesA(path.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
                SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        }
    }
    return path;
}

} // namespace

std::string ProfileFilePath(const std::string& file)
{
    if (!IsBareName(file))
        return file;
    return path::SettingsFolder() + file;
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                    const std::string& file)
{
    char buffer[ProfileValueLimit + 1];
    const std::string fallback(profile::WithoutTrailingBlanks(defaultValue));
    const DWORD length =
        ::GetPrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(), fallback.c_str(), buffer,
                                   sizeof buffer, ReadablePath(file).c_str());
    return std::string(buffer, length);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& file)
{
    return ::WritePrivateProfileStringA(OneLine(section).c_str(), OneLine(key).c_str(), OneLine(value).c_str(),
                                        WritablePath(file).c_str()) != FALSE;
}

} // namespace vorlane
