#include "wallpaper/WallpaperFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "gallery/BmpFile.h"
#include "gallery/Jpeg.h"
#include "platform/Exceptions.h"
#include "platform/Path.h"
#include "wallpaper/CWallPaper.h"

namespace vorlane {
namespace {

// Writes the file beside the old one and renames it over, so the desktop never finds half a picture.
void ReplaceFile(const std::string& target, const std::vector<uint8_t>& bytes)
{
    std::string temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        throw EFCreateError(Format(msg::FCreateError, target.c_str()));
    ::fchmod(fd, 0644); // a wallpaper is an ordinary file, not a private one
    size_t written = 0;
    bool ok = true;
    while (ok && written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            written += static_cast<size_t>(n);
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(temporary.c_str());
        throw EWriteError(msg::WriteError);
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        throw EFCreateError(Format(msg::FCreateError, target.c_str()));
    }
}

} // namespace

std::string TempWallpaperPath()
{
    return path::ProgramFolder() + "Temp.bmp";
}

std::string PrepareWallpaperFile(const std::string& picture, int displayBitsPerPixel)
{
    if (path::AsciiLowerCase(path::ExtractFileExt(picture)) == ".bmp")
        return ShortWallPaperPath(picture);
    const std::string target = TempWallpaperPath();
    {
        const Bitmap decoded = DecodeJpegFile(picture, displayBitsPerPixel);
        ReplaceFile(target, WriteBmp(decoded));
    }
    return ShortWallPaperPath(target);
}

} // namespace vorlane
