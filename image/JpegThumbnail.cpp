#include "image/JpegThumbnail.h"

#include <vector>

#include "image/JpegDecoder.h"
#include "image/Orientation.h"
#include "image/Stretch.h"

namespace vorlane {

Bitmap StretchJpeg(JpegDecoder& decoder, int width, int height, int displayBitsPerPixel, bool upright)
{
    decoder.ReadHeader(displayBitsPerPixel);
    const int sourceWidth = decoder.Width();
    const int sourceHeight = decoder.Height();
    OrientedAccumulator accumulator(sourceWidth, sourceHeight, width, height,
                                    ChooseStretchMode(displayBitsPerPixel, decoder.BitsPerPixel()),
                                    upright ? decoder.Orientation() : 1);
    if (decoder.CanSkipRows()) {
        std::vector<int> rows;
        for (int y = accumulator.NextNeededRow(0); y < sourceHeight; y = accumulator.NextNeededRow(y + 1))
            rows.push_back(y);
        decoder.KeepOnlySamples(rows, accumulator.NeededColumns());
    }
    decoder.Start();
    const bool indexed = decoder.BitsPerPixel() == 8;
    const std::vector<RgbQuad> palette = decoder.Palette();
    std::vector<uint8_t> row(size_t(sourceWidth) * size_t(decoder.BitsPerPixel() / 8));
    if (decoder.CanSkipRows())
        decoder.DecodeOnlyColumns(accumulator.NeededColumns());

    const auto colourAt = [&](int x) -> Rgb {
        if (indexed) {
            const uint8_t index = row[size_t(x)];
            if (index >= palette.size())
                return 0;
            return MakeRgb(palette[index].red, palette[index].green, palette[index].blue);
        }
        const uint8_t* p = row.data() + 3 * size_t(x);
        return MakeRgb(p[2], p[1], p[0]);
    };
    // Moves to row `target`, skipping when libjpeg allows it and reading otherwise. Every skip is followed
    // by a read: a skip that ends inside a row of blocks leaves that row's data for the next read to
    // decode, and libjpeg (2.1) passes over it unread if another skip comes first.
    const auto advanceTo = [&](int target) {
        if (decoder.CanSkipRows() && target > decoder.NextRow())
            decoder.SkipRows(target - decoder.NextRow());
        while (decoder.NextRow() < target)
            decoder.ReadRow(row.data());
    };

    for (int y = accumulator.NextNeededRow(0); y < sourceHeight; y = accumulator.NextNeededRow(y + 1)) {
        advanceTo(y);
        decoder.ReadRow(row.data());
        accumulator.AddRow(y, colourAt);
    }
    // The rest of the picture is decoded as a full decode would, so damage found there fails the same
    // way; the last row is read rather than skipped, as libjpeg drops a skip to the end unread.
    if (decoder.NextRow() < sourceHeight) {
        advanceTo(sourceHeight - 1);
        decoder.ReadRow(row.data());
    }
    decoder.Finish();
    return accumulator.Result();
}

} // namespace vorlane
