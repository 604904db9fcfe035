// Which gallery is the current one: "Manager" in section "Initial" of the settings file "Vorlane.ini",
// as the window reads it at start and writes it when it closes.
#pragma once

#include <string>

namespace vorlane {

// "Manager" as this system names the gallery. A settings file brought from Windows holds a Windows path
// in Shift_JIS, which names no file where paths are not Windows ones: the gallery of that name in the
// program folder is meant, where the galleries brought along go. Where texts are UTF-8, another name in
// Shift_JIS is read as such; bytes that are neither stay as they are.
std::string StartGalleryName(const std::string& stored);

// The current gallery's ManagerName, as the window starts with it: "Manager" read from "Vorlane.ini"
// (program folder + "画集" when there is none) and named as above.
std::string CurrentGalleryName();

} // namespace vorlane
