// Test support: JPEG files made with libjpeg's compressor, pictures worth compressing, and reference
// stretches to check thumbnails against.
#pragma once

#include <cstdint>
#include <vector>

#include "image/Bitmap.h"

namespace vorlane::test {

struct JpegEncodeOptions {
    int quality = 90;
    bool greyscale = false;
    // Luma sampling factors: 2x2 is 4:2:0, 1x1 is 4:4:4, 2x1 is 4:2:2, 1x2 is 4:4:0.
    int horizontalSampling = 2;
    int verticalSampling = 2;
    bool progressive = false;
    int restartInterval = 0; // in MCUs; 0 = no restart markers
};

// Compresses a 24-bit picture (a greyscale one takes the pixels' luminance).
std::vector<uint8_t> EncodeJpeg(const Bitmap& picture, const JpegEncodeOptions& options = {});

// A 24-bit picture with smooth gradients, sharp edges and noise, different for every seed.
Bitmap TestPicture(int width, int height, uint32_t seed);

// Stretches written apart from the program's, as references: colour-on-colour takes the source pixel
// under the centre of each target pixel; halftone the rounded mean of every source pixel the target
// pixel's area touches. 24-bit results.
Bitmap ReferenceNearest(const Bitmap& full, int width, int height);
Bitmap ReferenceAverage(const Bitmap& full, int width, int height);

} // namespace vorlane::test
