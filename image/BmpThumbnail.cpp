#include "image/BmpThumbnail.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "image/BmpFile.h"
#include "image/PictureDecoder.h"
#include "image/PictureFile.h"
#include "image/Stretch.h"
#include "platform/Exceptions.h"

namespace vorlane {
namespace {

// The headers and the largest colour table lie well inside this; a smaller file is read whole.
constexpr size_t HeadBytes = 65536;

Bitmap StretchWhole(const std::string& path, int width, int height, int displayBitsPerPixel)
{
    const Bitmap picture = ReadBmpFile(path);
    return Stretch(picture, width, height, ChooseStretchMode(displayBitsPerPixel, picture.BitsPerPixel()));
}

} // namespace

Bitmap StretchBmpFile(const std::string& path, int width, int height, int displayBitsPerPixel)
{
    const auto file = OpenPictureFile(path);
    // ReadBmpFile looks at no more than this of a file.
    const uint64_t fileBytes = std::min<uint64_t>(PictureFileBytes(file.get(), path), Bitmap::MaxBytes + 4096);
    if (fileBytes <= HeadBytes)
        return StretchWhole(path, width, height, displayBitsPerPixel);
    std::vector<uint8_t> head(HeadBytes);
    if (std::fread(head.data(), 1, head.size(), file.get()) != head.size())
        throw EFOpenError(Format(msg::FOpenError, path.c_str()));
    BmpRowsPlace rows;
    if (!LocateBmpRows(head, fileBytes, rows))
        return StretchWhole(path, width, height, displayBitsPerPixel);

    StretchAccumulator accumulator(rows.width, rows.height, width, height,
                                   ChooseStretchMode(displayBitsPerPixel, rows.bitsPerPixel));
    // One row at a time in a one-row picture, which reads its pixels as ReadBmp's picture would.
    Bitmap line(rows.width, 1, rows.bitsPerPixel);
    line.Palette() = rows.palette;
    for (int y = accumulator.NextNeededRow(0); y < rows.height; y = accumulator.NextNeededRow(y + 1)) {
        // Every offset lies below fileBytes, at most 1 GiB and 4 KiB: a long holds it everywhere.
        const long offset = long(rows.RowOffset(y));
        if (std::fseek(file.get(), offset, SEEK_SET) != 0 ||
            std::fread(line.Row(0), 1, rows.stride, file.get()) != rows.stride)
            throw EFOpenError(Format(msg::FOpenError, path.c_str()));
        if (rows.bitsPerPixel == 32) // the fixed layout's fourth byte is zero, as ReadBmp keeps it
            for (int x = 0; x < rows.width; ++x)
                line.Row(0)[4 * x + 3] = 0;
        accumulator.AddRow(y, [&line](int x) { return line.PixelRgb(x, 0); });
    }
    return accumulator.Result();
}

} // namespace vorlane
