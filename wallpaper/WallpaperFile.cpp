#include "wallpaper/WallpaperFile.h"

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "image/BmpFile.h"
#include "image/JpegDecoder.h"
#include "image/Orientation.h"
#include "image/PictureDecoder.h"
#include "image/PictureFile.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/ReplacedFile.h"
#include "wallpaper/BitmapRows.h"
#include "wallpaper/CWallPaper.h"

namespace vorlane {
namespace {

// Rows go to the file a band at a time: few calls, and little memory beside the decoder's.
constexpr size_t BandBytes = size_t(256) << 10;

// What is written: the picture's size and depth, then its rows from the top, laid out as the bitmap's.
struct RowSource {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 24;
    std::vector<RgbQuad> palette;
    std::function<void(uint8_t*)> readRow;
    std::function<void()> finish;
};

// Decodes the picture into a bitmap file beside the old one and renames it over, so the desktop never
// finds half a picture. A bitmap file stores its bottom row first while the decoder gives the top row
// first, so each band of rows is laid out upside down and written at its own place in the file.
void ConvertToBmp(const RowSource& source, const std::string& target, PictureRows* drawing)
{
    const int width = source.width;
    const int height = source.height;
    const int bitsPerPixel = source.bitsPerPixel;
    const std::vector<RgbQuad>& palette = source.palette;
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
            source.readRow(row);
            if (drawing)
                drawing->Row(y0 + i, row);
        }
        const uint64_t offset = headers.Bytes().size() + uint64_t(height - y0 - rows) * stride;
        ok = file.WriteAt(offset, std::span(band.data(), size_t(rows) * stride));
    }
    if (!ok)
        throw EWriteError(msg::WriteError);
    source.finish();
    if (!file.Commit(false))
        throw EFCreateError(Format(msg::FCreateError, target.c_str()));
}

// What is done with a picture's rows once its decoder is open: written to a file, or only drawn.
using RowSink = std::function<void(const RowSource&)>;

void ReadPicture(JpegDecoder& decoder, const RowSink& sink)
{
    decoder.Start();
    RowSource source;
    source.width = decoder.Width();
    source.height = decoder.Height();
    source.bitsPerPixel = decoder.BitsPerPixel();
    if (source.bitsPerPixel == 8)
        source.palette = decoder.Palette();
    const int orientation = decoder.Orientation();
    if (orientation == 1) {
        source.readRow = [&decoder](uint8_t* row) { decoder.ReadRow(row); };
        source.finish = [&decoder] { decoder.Finish(); };
        sink(source);
        return;
    }
    // A photo to be turned upright: its rows come from the whole picture, decoded first.
    Bitmap stored(source.width, source.height, source.bitsPerPixel);
    for (int y = 0; y < stored.Height(); ++y)
        decoder.ReadRow(stored.Row(y));
    decoder.Finish();
    if (Transposes(orientation))
        std::swap(source.width, source.height);
    int next = 0;
    source.readRow = [&](uint8_t* row) { OrientedRow(stored, orientation, next++, row); };
    source.finish = [] {};
    sink(source);
}

// A picture of another format at 24 bits, its transparent parts over black.
void ReadPicture(PictureDecoder& decoder, const RowSink& sink)
{
    std::vector<uint8_t> bgra(size_t(decoder.Width()) * 4);
    RowSource source;
    source.width = decoder.Width();
    source.height = decoder.Height();
    source.readRow = [&](uint8_t* row) {
        decoder.ReadRow(bgra.data());
        for (int x = 0; x < source.width; ++x) {
            const Rgb colour = OverBackground(bgra.data() + 4 * size_t(x), 0);
            row[3 * x] = BlueOf(colour);
            row[3 * x + 1] = GreenOf(colour);
            row[3 * x + 2] = RedOf(colour);
        }
    };
    source.finish = [&decoder] { decoder.Finish(); };
    sink(source);
}

// Opens the decoder of a picture that is not a bitmap: one of PictureFormats() by its first bytes,
// anything else as JPEG, each checked against MaxWallpaperPixels before it decodes.
void ReadPicture(const std::string& picture, std::FILE* file, int displayBitsPerPixel, const RowSink& sink)
{
    const std::optional<int64_t> size = files::RegularFileSize(file);
    if (!size)
        throw EFOpenError(Format(msg::FOpenError, picture.c_str()));
    if (const PictureFormat* format = RecognisePicture(file)) {
        const auto decoder = format->Open(file, uint64_t(*size), MaxWallpaperPixels);
        ReadPicture(*decoder, sink);
    } else {
        JpegDecoder decoder(file);
        decoder.ReadHeader(displayBitsPerPixel);
        decoder.CheckClaimedSize(uint64_t(*size), MaxWallpaperPixels);
        ReadPicture(decoder, sink);
    }
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
    files::CheckPathLength(picture);
    if (IsBitmapName(picture))
        return picture;
    return PrepareWallpaperFile(picture, OpenPictureFile(picture).get(), displayBitsPerPixel, drawing);
}

std::string PrepareWallpaperFile(const std::string& picture, std::FILE* file, int displayBitsPerPixel,
                                 PictureRows* drawing)
{
    files::CheckPathLength(picture);
    if (IsBitmapName(picture))
        return picture;
    const std::string target = TempWallpaperPath();
    ReadPicture(picture, file, displayBitsPerPixel,
                [&](const RowSource& source) { ConvertToBmp(source, target, drawing); });
    if (drawing)
        drawing->Finished(target);
    return target;
}

void SendPictureRows(const std::string& picture, int displayBitsPerPixel, PictureRows& to)
{
    if (IsBitmapName(picture)) {
        BitmapRows(picture).SendTo(to);
        return;
    }
    ReadPicture(picture, OpenPictureFile(picture).get(), displayBitsPerPixel, [&](const RowSource& source) {
        to.Begin(source.width, source.height, source.bitsPerPixel, source.palette);
        std::vector<uint8_t> row(Bitmap::StrideFor(source.width, source.bitsPerPixel));
        for (int y = 0; y < source.height; ++y) {
            source.readRow(row.data());
            to.Row(y, row.data());
        }
        source.finish();
    });
}

bool SetPictureAsWallpaper(TWallPaper& wallpaper, const std::string& picture, std::FILE* file, int displayBitsPerPixel)
{
    return wallpaper.SetWallPaper(PrepareWallpaperFile(picture, file, displayBitsPerPixel, wallpaper.PrepareDrawing()));
}

} // namespace vorlane
