// The X root pixmap as a desktop backend: plain window managers, and compositors that read the root
// properties.
#include <exception>

#include "wallpaper/Backends.h"
#include "wallpaper/BitmapRows.h"
#include "wallpaper/DesktopX11.h"

namespace vorlane {
namespace {

class X11RootBackend final : public DesktopBackend {
public:
    std::string Name() const override { return "x11-root"; }

    bool Apply(const WallpaperRequest& request) override
    {
        if (request.path.empty())
            return ClearX11RootWallpaper();
        if (request.drawing && request.drawing->Placement() == request.placement &&
            request.drawing->Shows(request.path))
            return request.drawing->Publish();
        try {
            if (request.rows)
                return SetX11RootWallpaper(*request.rows, request.placement);
            const BitmapRows picture(request.path);
            return SetX11RootWallpaper(picture, request.placement);
        } catch (const std::exception&) {
            return false; // a file that is not a readable bitmap leaves the root as it is
        }
    }
};

} // namespace

std::unique_ptr<DesktopBackend> NewX11RootBackend()
{
    return std::make_unique<X11RootBackend>();
}

} // namespace vorlane
