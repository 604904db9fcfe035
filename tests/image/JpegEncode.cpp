#include "tests/image/JpegEncode.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <jpeglib.h>

namespace vorlane::test {
namespace {

void AbortOnError(j_common_ptr common)
{
    char text[JMSG_LENGTH_MAX];
    common->err->format_message(common, text);
    // The compressor is only fed well-formed pictures; a failure here is a broken test.
    std::fprintf(stderr, "libjpeg compressor: %s\n", text);
    std::abort();
}

} // namespace

std::vector<uint8_t> EncodeJpeg(const Bitmap& picture, const JpegEncodeOptions& options)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    errors.error_exit = AbortOnError;
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);

    info.image_width = JDIMENSION(picture.Width());
    info.image_height = JDIMENSION(picture.Height());
    info.input_components = options.greyscale ? 1 : 3;
    info.in_color_space = options.greyscale ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, options.quality, TRUE);
    if (!options.greyscale) {
        info.comp_info[0].h_samp_factor = options.horizontalSampling;
        info.comp_info[0].v_samp_factor = options.verticalSampling;
        for (int c = 1; c < 3; ++c)
            info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    }
    if (options.progressive)
        jpeg_simple_progression(&info);
    info.restart_interval = unsigned(options.restartInterval);
    jpeg_start_compress(&info, TRUE);

    std::vector<uint8_t> row(size_t(picture.Width()) * 3);
    while (info.next_scanline < info.image_height) {
        const int y = int(info.next_scanline);
        for (int x = 0; x < picture.Width(); ++x) {
            const Rgb c = picture.PixelRgb(x, y);
            if (options.greyscale) {
                row[size_t(x)] = uint8_t((RedOf(c) * 77 + GreenOf(c) * 150 + BlueOf(c) * 29) >> 8);
            } else {
                row[3 * size_t(x)] = RedOf(c);
                row[3 * size_t(x) + 1] = GreenOf(c);
                row[3 * size_t(x) + 2] = BlueOf(c);
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> result(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return result;
}

Bitmap TestPicture(int width, int height, uint32_t seed)
{
    Bitmap picture(width, height, 24);
    uint32_t state = seed * 2654435761u + 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const uint8_t noise = uint8_t(state >> 27);
            const bool edge = ((x / 7) + (y / 5) + int(seed)) % 3 == 0;
            const uint8_t r = uint8_t(x * 255 / width + noise);
            const uint8_t g = uint8_t(edge ? 230 - noise : y * 200 / height);
            const uint8_t b = uint8_t((x ^ y) * 3 + seed * 40);
            picture.SetPixelRgb(x, y, MakeRgb(r, g, b));
        }
    }
    return picture;
}

Bitmap ReferenceNearest(const Bitmap& full, int width, int height)
{
    Bitmap result(width, height, 24);
    for (int ty = 0; ty < height; ++ty) {
        const double centreY = (ty + 0.5) * full.Height() / height;
        for (int tx = 0; tx < width; ++tx) {
            const double centreX = (tx + 0.5) * full.Width() / width;
            result.SetPixelRgb(tx, ty, full.PixelRgb(int(centreX), int(centreY)));
        }
    }
    return result;
}

Bitmap ReferenceAverage(const Bitmap& full, int width, int height)
{
    Bitmap result(width, height, 24);
    const auto touched = [](int t, int n, int m, int& first, int& last) {
        first = t * n / m;
        last = std::max(first + 1, ((t + 1) * n + m - 1) / m);
    };
    for (int ty = 0; ty < height; ++ty) {
        int y0, y1;
        touched(ty, full.Height(), height, y0, y1);
        for (int tx = 0; tx < width; ++tx) {
            int x0, x1;
            touched(tx, full.Width(), width, x0, x1);
            uint64_t r = 0, g = 0, b = 0, n = 0;
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x) {
                    const Rgb c = full.PixelRgb(x, y);
                    r += RedOf(c), g += GreenOf(c), b += BlueOf(c), ++n;
                }
            result.SetPixelRgb(tx, ty,
                               MakeRgb(uint8_t((r + n / 2) / n), uint8_t((g + n / 2) / n), uint8_t((b + n / 2) / n)));
        }
    }
    return result;
}

} // namespace vorlane::test
