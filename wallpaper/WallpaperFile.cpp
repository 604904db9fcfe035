#include "wallpaper/WallpaperFile.h"

#include <algorithm>
#include <vector>

#include "image/BmpFile.h"
#include "image/JpegDecoder.h"
#include "image/PictureFile.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/ReplacedFile.h"
#include "wallpaper/CWallPaper.h"

namespace vorlane {
namespace {

// Rows go to the file a band at a time: few calls, and little memory beside the decoder's.
constexpr size_t BandBytes = size_t(256) << 10;

// Decodes the JPEG into a bitmap file beside the old one and renames it over, so the desktop never finds
// half a picture. A bitmap file stores its bottom row first while the decoder gives the top row first,
// so each band of rows is laid out upside down and written at its own place in the file.
void ConvertToBmp(JpegDecoder& decoder, const std::string& target, PictureRows* drawing)
{
    decoder.Start();
    const int width = decoder.Width();
    const int height = decoder.Height();
    const int bitsPerPixel = decoder.BitsPerPixel();
    const std::vector<RgbQuad> palette = bitsPerPixel == 8 ? decoder.Palette() : std::vector<RgbQuad>{};
    ByteWriter headers;
    WriteBmpHeaders(headers, width, height, bitsPerPixel, palette, BmpSizeField::FileSize);

    ReplacedFile file(target, 0644); // a wallpaper is an ordinary file, not a private one
    if (!file.Open())
        throw EFCreateError(Format(msg::FCreateError, target.c_str()));
    if (drawing)
        drawing->Begin(width, height, bitsPerPixel, palette);
    const size_t stride = Bitmap::StrideFor(width, bitsPerPixel);
    const int bandRows = int(std::clamp<size_t>(BandBytes / stride, 1, size_t(height)));
    std::vector<uint8_t> band(size_t(bandRows) * stride); // row padding stays zero
    bool ok = file.Write(headers.Bytes());
    for (int y0 = 0; ok && y0 < height; y0 += bandRows) {
        const int rows = std::min(bandRows, height - y0);
        for (int i = 0; i < rows; ++i) {
            uint8_t* row = band.data() + size_t(rows - 1 - i) * stride;
            decoder.ReadRow(row);
            if (drawing)
                drawing->Row(y0 + i, row);
        }
        const uint64_t offset = headers.Bytes().size() + uint64_t(height - y0 - rows) * stride;
        ok = file.WriteAt(offset, std::span(band.data(), size_t(rows) * stride));
    }
    if (!ok)
        throw EWriteError(msg::WriteError);
    decoder.Finish();
    if (!file.Commit(false))
        throw EFCreateError(Format(msg::FCreateError, target.c_str()));
}

// A bitmap is the wallpaper as it is; any other picture is decoded as JPEG.
bool IsBitmapName(const std::string& picture)
{
    return path::AsciiLowerCase(path::ExtractFileExt(picture)) == ".bmp";
}

} // namespace

std::string TempWallpaperPath()
{
    return path::ProgramFolder() + "Temp.bmp";
}

std::string PrepareWallpaperFile(const std::string& picture, int displayBitsPerPixel, PictureRows* drawing)
{
    if (IsBitmapName(picture))
        return ShortWallPaperPath(picture);
    return PrepareWallpaperFile(picture, OpenPictureFile(picture).get(), displayBitsPerPixel, drawing);
}

std::string PrepareWallpaperFile(const std::string& picture, std::FILE* file, int displayBitsPerPixel,
                                 PictureRows* drawing)
{
    if (IsBitmapName(picture))
        return ShortWallPaperPath(picture);
    const std::string target = TempWallpaperPath();
    const std::optional<int64_t> size = files::RegularFileSize(file);
    if (!size)
        throw EFOpenError(Format(msg::FOpenError, picture.c_str()));
    JpegDecoder decoder(file);
    decoder.ReadHeader(displayBitsPerPixel);
    decoder.CheckClaimedSize(uint64_t(*size), MaxWallpaperPixels);
    ConvertToBmp(decoder, target, drawing);
    const std::string wallpaper = ShortWallPaperPath(target);
    if (drawing)
        drawing->Finished(wallpaper);
    return wallpaper;
}

bool SetPictureAsWallpaper(TWallPaper& wallpaper, const std::string& picture, std::FILE* file, int displayBitsPerPixel)
{
    return wallpaper.SetWallPaper(PrepareWallpaperFile(picture, file, displayBitsPerPixel, wallpaper.PrepareDrawing()));
}

} // namespace vorlane
