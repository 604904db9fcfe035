// The main window's SSTP component and the announcement of a wallpaper change to the desktop mascot.
#pragma once

#include <string>

namespace vorlane {

class TComponent;
class TFastSstp;

// Gives `sstp` the settings the main window stores for it (host 127.0.0.1, report level 0, sender
// "Vorlane", not sleeping, TCP delivery, no target window), then runs its end-of-loading step.
void ApplyMainWindowSettings(TFastSstp& sstp);

// The main window's component "FastSstp": created with `owner` (freed with it) and set up as above.
TFastSstp* CreateMainWindowFastSstp(TComponent* owner);

// Tells the mascot that the picture at `picturePath` is now the wallpaper: "壁紙を", the file-name part
// of the path, "に設定しました", without descriptions. The announcement is a courtesy: every failure
// is dropped and the result unused, so it never disturbs the user. It returns when the exchange is over
// (events keep being processed meanwhile); while another announcement waits, this one is not sent.
void AnnounceWallpaper(TFastSstp& sstp, const std::string& picturePath);

} // namespace vorlane
