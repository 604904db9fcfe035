// Private to the Windows platform layer: the two folders the settings file may live in, for the profile
// functions (Profile.cpp). SettingsFolder() (Path.h) is the one of them this process uses.
#pragma once

#include <string>

namespace vorlane::path::detail {

// The Windows directory, with a trailing separator: where the profile functions put a bare file name.
std::string WindowsFolder();

// The user's own folder for the settings file, %APPDATA%\Vorlane\ (made when the file is first written
// there); empty when the system names none.
std::string UserSettingsFolder();

} // namespace vorlane::path::detail
