// The Windows screen saver's own settings, which the system gives it no command line for: how long each
// picture shows and whether they come in random order, kept in "Vorlane.ini" (section "ScreenSaver",
// keys "Delay" in seconds and "Random" 0 or 1), written only when the user confirms its settings
// dialog. The gallery it shows is Vorlane16's "ｽｸﾘｰﾝｾｰﾊﾞ > 画集の設定".
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "saver/Slideshow.h"

namespace vorlane::saver {

// The stored settings; a value that cannot be used keeps its default, which `report` is told.
Options ReadSaverOptions(const std::function<void(const std::string& line)>& report);
void WriteSaverOptions(const Options& options);

// The settings dialog, owned by `owner` (none when 0), until the user closes it.
void RunSaverSettings(HWND owner);

} // namespace vorlane::saver
