#include "platform/Profile.h"

#include "platform/Exceptions.h"

namespace vorlane {

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const
{
    return GetPrivateProfileString(section, key, defaultValue, fileName_);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    if (!WritePrivateProfileString(section, key, value, fileName_))
        throw EIniFileException(Format(msg::IniFileWriteError, fileName_.c_str()));
}

} // namespace vorlane
