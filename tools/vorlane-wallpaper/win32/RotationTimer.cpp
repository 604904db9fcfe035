// vorlane-wallpaper's rotation on Windows: next, previous and random work as everywhere; the timer is
// not built for this system yet.
#include "tools/vorlane-wallpaper/Rotation.h"

#include "platform/Exceptions.h"

namespace vorlane::wallpapertool {

ExitStatus RunRotation(const RotationInvocation&)
{
    throw Exception("rotate is not available on this system");
}

ExitStatus StopRotation()
{
    throw Exception("rotate is not available on this system");
}

} // namespace vorlane::wallpapertool
