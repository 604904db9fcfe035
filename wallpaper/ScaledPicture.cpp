#include "wallpaper/ScaledPicture.h"

#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vorlane {
namespace {

struct ImageUnref {
    void operator()(pixman_image_t* image) const { pixman_image_unref(image); }
};
using ImagePtr = std::unique_ptr<pixman_image_t, ImageUnref>;

} // namespace

// One resampling step: rows of an input picture in, rows of [x0, x1) x [y0, y1) of its scaled copy out,
// pixman's bilinear filter between. A scale of exactly 2 averages each 2x2 block; 1 copies.
struct ScaledPicture::Step {
    Step(int inWidth, int inHeight, double scaleX, double scaleY, int x0, int x1, int y0, int y1, RowOut out)
        : inWidth(inWidth),
          inHeight(inHeight),
          scaleX(scaleX),
          scaleY(scaleY),
          x0(x0),
          x1(x1),
          y0(y0),
          y1(y1),
          next(y0),
          out(std::move(out)),
          outRow(size_t(std::max(0, x1 - x0)))
    {
        // The rows one output row reads, with a row of slack either side for pixman's rounding.
        capacity = int(std::ceil(scaleY)) + 4;
        band.resize(size_t(capacity) * size_t(inWidth));
    }

    // The first and last input rows output row y reads.
    int FirstRead(int y) const { return std::clamp(int(std::floor(scaleY * (y + 0.5) - 0.5)) - 1, 0, inHeight - 1); }
    int LastRead(int y) const { return std::clamp(int(std::floor(scaleY * (y + 0.5) - 0.5)) + 2, 0, inHeight - 1); }

    void Row(const uint32_t* row)
    {
        if (bandRows == capacity) {
            // Rows no output row still reads go; the band never needs more than its capacity.
            const int keepFrom = next < y1 ? std::min(FirstRead(next), bandTop + bandRows) : bandTop + bandRows;
            const int drop = std::clamp(keepFrom - bandTop, 1, bandRows);
            std::memmove(band.data(), band.data() + size_t(drop) * size_t(inWidth),
                         size_t(bandRows - drop) * size_t(inWidth) * sizeof(uint32_t));
            bandTop += drop;
            bandRows -= drop;
        }
        std::memcpy(band.data() + size_t(bandRows) * size_t(inWidth), row, size_t(inWidth) * sizeof(uint32_t));
        ++bandRows;
        const int received = bandTop + bandRows;
        while (next < y1 && (LastRead(next) < received || received == inHeight) && FirstRead(next) >= bandTop)
            Emit(next++);
    }

    void Emit(int y)
    {
        if (outRow.empty())
            return;
        ImagePtr source(
            pixman_image_create_bits(PIXMAN_x8r8g8b8, inWidth, bandRows, band.data(), inWidth * int(sizeof(uint32_t))));
        ImagePtr target(
            pixman_image_create_bits(PIXMAN_x8r8g8b8, x1 - x0, 1, outRow.data(), (x1 - x0) * int(sizeof(uint32_t))));
        if (!source || !target)
            return;
        // Output pixel (x0 + i, y) reads the input at the scaled place of its centre: the translation
        // carries the band's and the part's offsets, so every fixed-point number stays small.
        pixman_transform_t transform;
        pixman_transform_init_identity(&transform);
        transform.matrix[0][0] = pixman_double_to_fixed(scaleX);
        transform.matrix[0][2] = pixman_double_to_fixed(scaleX * x0);
        transform.matrix[1][1] = pixman_double_to_fixed(scaleY);
        transform.matrix[1][2] = pixman_double_to_fixed(scaleY * y - bandTop);
        pixman_image_set_transform(source.get(), &transform);
        pixman_image_set_filter(source.get(), PIXMAN_FILTER_BILINEAR, nullptr, 0);
        pixman_image_set_repeat(source.get(), PIXMAN_REPEAT_PAD); // the picture's edges go on outwards
        pixman_image_composite32(PIXMAN_OP_SRC, source.get(), nullptr, target.get(), 0, 0, 0, 0, 0, 0, x1 - x0, 1);
        for (uint32_t& pixel : outRow)
            pixel &= 0xFFFFFF;
        out(y, outRow.data());
    }

    int inWidth, inHeight;
    double scaleX, scaleY;
    int x0, x1, y0, y1;
    int next; // the next output row
    RowOut out;
    std::vector<uint32_t> outRow;
    std::vector<uint32_t> band; // input rows [bandTop, bandTop + bandRows)
    int capacity = 0;
    int bandTop = 0;
    int bandRows = 0;
};

ScaledPicture::ScaledPicture(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight, int x0, int x1,
                             int y0, int y1, RowOut out)
{
    if (sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 || targetHeight <= 0 || x0 >= x1 || y0 >= y1 ||
        sourceWidth > MaxScaledWidth || targetWidth > MaxScaledWidth)
        return;
    // Halvings first, each axis while its remaining scale is 2 or more.
    int halvingsX = 0, halvingsY = 0;
    while (sourceWidth / std::ldexp(double(targetWidth), halvingsX + 1) >= 1 && (sourceWidth >> halvingsX) > 1)
        ++halvingsX;
    while (sourceHeight / std::ldexp(double(targetHeight), halvingsY + 1) >= 1 && (sourceHeight >> halvingsY) > 1)
        ++halvingsY;
    std::vector<std::pair<int, int>> sizes{{sourceWidth, sourceHeight}};
    for (int i = 0; i < std::max(halvingsX, halvingsY); ++i) {
        const auto [w, h] = sizes.back();
        sizes.emplace_back(i < halvingsX ? (w + 1) / 2 : w, i < halvingsY ? (h + 1) / 2 : h);
    }
    // Built from the last step back, so each knows where its rows go.
    const auto [lastWidth, lastHeight] = sizes.back();
    steps_.push_back(
        std::make_unique<Step>(lastWidth, lastHeight, std::ldexp(double(sourceWidth), -halvingsX) / targetWidth,
                               std::ldexp(double(sourceHeight), -halvingsY) / targetHeight,
                               std::clamp(x0, 0, targetWidth), std::clamp(x1, 0, targetWidth),
                               std::clamp(y0, 0, targetHeight), std::clamp(y1, 0, targetHeight), std::move(out)));
    for (int i = int(sizes.size()) - 2; i >= 0; --i) {
        const auto [w, h] = sizes[size_t(i)];
        const auto [nw, nh] = sizes[size_t(i) + 1];
        Step* next = steps_.back().get();
        steps_.push_back(std::make_unique<Step>(w, h, i < halvingsX ? 2.0 : 1.0, i < halvingsY ? 2.0 : 1.0, 0, nw, 0,
                                                nh, [next](int, const uint32_t* row) { next->Row(row); }));
    }
}

ScaledPicture::~ScaledPicture() = default;

void ScaledPicture::Row(const uint32_t* row)
{
    if (!steps_.empty())
        steps_.back()->Row(row); // the first step was built last
}

} // namespace vorlane
