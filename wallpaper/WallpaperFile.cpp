#include "wallpaper/WallpaperFile.h"

#include <algorithm>
#include <vector>

#include "image/BmpFile.h"
#include "image/Jpeg.h"
#include "platform/Exceptions.h"
#include "platform/Path.h"
#include "platform/ReplacedFile.h"
#include "wallpaper/CWallPaper.h"

namespace vorlane {
namespace {

// Writes the picture as an uncompressed bitmap file beside the old one and renames it over, so the
// desktop never finds half a picture. The rows go out bottom-up through a small buffer, as WriteBmp
// would lay them out, without holding a second copy of the whole picture.
void ReplaceWithBmp(const std::string& target, const Bitmap& picture)
{
    ByteWriter headers;
    WriteBmpHeaders(headers, picture.Width(), picture.Height(), picture.BitsPerPixel(), picture.Palette(),
                    BmpSizeField::FileSize);
    ReplacedFile file(target, 0644); // a wallpaper is an ordinary file, not a private one
    if (!file.Open())
        throw EFCreateError(Format(msg::FCreateError, target.c_str()));
    constexpr size_t BufferBytes = size_t(1) << 20;
    const size_t stride = picture.Stride();
    std::vector<uint8_t> buffer;
    buffer.reserve(std::max(BufferBytes, stride));
    bool ok = file.Write(headers.Bytes());
    for (int y = picture.Height() - 1; ok && y >= 0; --y) {
        if (buffer.size() + stride > buffer.capacity()) {
            ok = file.Write(buffer);
            buffer.clear();
        }
        buffer.insert(buffer.end(), picture.Row(y), picture.Row(y) + stride);
    }
    ok = ok && file.Write(buffer);
    if (!ok)
        throw EWriteError(msg::WriteError);
    if (!file.Commit(false))
        throw EFCreateError(Format(msg::FCreateError, target.c_str()));
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
        ReplaceWithBmp(target, decoded);
    }
    return ShortWallPaperPath(target);
}

} // namespace vorlane
