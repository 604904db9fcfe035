#include "sstp/WallpaperAnnouncement.h"

#include "platform/Path.h"
#include "sstp/FastSstp.h"

namespace vorlane {

void ApplyMainWindowSettings(TFastSstp& sstp)
{
    sstp.SetHost("127.0.0.1");
    sstp.SetReportLevel(0);
    sstp.SetSstpSender("Vorlane");
    sstp.SetSleep(false);
    sstp.SetSstpMethod(smTcpIp);
    sstp.SetTargetHWnd(0);
    sstp.Loaded();
}

TFastSstp* CreateMainWindowFastSstp(TComponent* owner)
{
    auto* sstp = TComponent::Create<TFastSstp>(owner);
    sstp->SetName("FastSstp");
    ApplyMainWindowSettings(*sstp);
    return sstp;
}

void AnnounceWallpaper(TFastSstp& sstp, const std::string& picturePath)
{
    try {
        const std::string script = "壁紙を" + path::ExtractFileName(picturePath) + "に設定しました";
        sstp.SendScript(script, {soNoDescript});
    } catch (...) {
        // A courtesy to the mascot: no mascot, a time-out or any other failure must not reach the user,
        // and the wallpaper stays set whatever happened here.
    }
}

} // namespace vorlane
