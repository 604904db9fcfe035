// The settings file through the Windows profile functions themselves.
#include "platform/Profile.h"

#include <windows.h>
// <windows.h> names its ANSI or wide function by these; here they are our own.
#undef GetPrivateProfileString
#undef WritePrivateProfileString

#include "platform/Path.h"

namespace vorlane {
namespace {

// A line break inside a name or a value would start a line of its own (a forged key or section), and
// the profile functions write it as given; everything from the first one on is dropped.
std::string OneLine(std::string_view text)
{
    return std::string(text.substr(0, text.find_first_of("\r\n")));
}

// The default loses its trailing blanks, tabs included, as it does on the other platforms.
std::string WithoutTrailingBlanks(std::string_view text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return std::string(text);
}

} // namespace

std::string ProfileFilePath(const std::string& file)
{
    if (file.find_first_of("\\/:") != std::string::npos)
        return file;
    return path::SettingsFolder() + file;
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& file)
{
    char buffer[ProfileValueLimit + 1];
    const DWORD length = ::GetPrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                                  WithoutTrailingBlanks(defaultValue).c_str(), buffer, sizeof buffer,
                                                  ProfileFilePath(file).c_str());
    return std::string(buffer, length);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& file)
{
    return ::WritePrivateProfileStringA(OneLine(section).c_str(), OneLine(key).c_str(), OneLine(value).c_str(),
                                      ProfileFilePath(file).c_str()) != FALSE;
}

} // namespace vorlane
