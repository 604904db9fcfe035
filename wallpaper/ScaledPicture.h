// A wallpaper picture scaled to a part of the screen (fill, fit, stretch, span), made from the picture's
// rows as they come, top to bottom, with pixman's resampling: while the scale is 2 or more, each step
// halves the picture (every output pixel the mean of a 2x2 block), then a bilinear step reaches the size
// shown. Only a few rows of each step are held, never the whole picture.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "wallpaper/PlacedPicture.h"

namespace vorlane {

// The widest picture pixman's 16.16 fixed-point coordinates can address.
inline constexpr int MaxScaledWidth = 32767;

// Scales a picture of `sourceWidth` x `sourceHeight` to `targetWidth` x `targetHeight` and hands on the
// part [x0, x1) x [y0, y1) of the result, one row at a time, as soon as the rows it needs have come.
class ScaledPicture {
public:
    // Row y of the part (counted from the target's top, so y0 first), pixels 0x00RRGGBB for x0 to x1.
    using RowOut = std::function<void(int y, const uint32_t* row)>;

    ScaledPicture(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight, int x0, int x1, int y0, int y1,
                  RowOut out);
    ~ScaledPicture();
    ScaledPicture(const ScaledPicture&) = delete;
    ScaledPicture& operator=(const ScaledPicture&) = delete;

    // The next source row, pixels 0x00RRGGBB, sourceWidth of them. After the last one, every row of the
    // part has gone out.
    void Row(const uint32_t* row);

private:
    struct Step;
    std::vector<std::unique_ptr<Step>> steps_;
};

} // namespace vorlane
