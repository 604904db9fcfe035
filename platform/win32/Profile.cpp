// The settings file through the Windows profile functions themselves.
#include "platform/Profile.h"

#include <windows.h>
// <windows.h> names its ANSI or wide function by these; here they are our own.
#undef GetPrivateProfileString
#undef WritePrivateProfileString

#include "platform/Path.h"
#include "platform/ProfileText.h"

namespace vorlane {
namespace {

// The profile functions write a line break as given.
std::string OneLine(std::string_view text)
{
    return std::string(profile::OneLine(text));
}

} // namespace

std::string ProfileFilePath(const std::string& file)
{
    if (file.find_first_of("\\/:") != std::string::npos)
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
                                   sizeof buffer, ProfileFilePath(file).c_str());
    return std::string(buffer, length);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& file)
{
    return ::WritePrivateProfileStringA(OneLine(section).c_str(), OneLine(key).c_str(), OneLine(value).c_str(),
                                        ProfileFilePath(file).c_str()) != FALSE;
}

} // namespace vorlane
