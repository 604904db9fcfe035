// Any bytes as a JPEG: the streamed thumbnail must fail exactly when the full decode fails, with the
// same message, and otherwise equal the full decode stretched; neither may crash, hang or run away with
// memory. The first byte picks the display depth, so quantised and halftone paths are reached too.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "image/Jpeg.h"
#include "image/JpegDecoder.h"
#include "image/JpegThumbnail.h"
#include "image/Stretch.h"
#include "platform/Exceptions.h"

namespace {

// Large pictures are valid input but slow to fuzz with; they get the same treatment at any size.
constexpr long MaxPixels = 4L << 20;

bool Small(std::span<const uint8_t> jpeg)
{
    try {
        vorlane::JpegDecoder decoder(jpeg);
        decoder.ReadHeader(24);
        return long(decoder.Width()) * decoder.Height() <= MaxPixels;
    } catch (const vorlane::Exception&) {
        return true; // fails at once either way
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static constexpr int Displays[] = {24, 32, 16, 8, 4, 1};
    const int display = Displays[data[0] % 6];
    const std::span<const uint8_t> jpeg(data + 1, size - 1);
    if (!Small(jpeg))
        return 0;

    std::string streamedError, fullError;
    vorlane::Bitmap streamed, full;
    try {
        vorlane::JpegDecoder decoder(jpeg);
        streamed = vorlane::StretchJpeg(decoder, 32, 32, display);
    } catch (const vorlane::Exception& e) {
        streamedError = e.Message();
    }
    try {
        const vorlane::Bitmap picture = vorlane::DecodeJpeg(jpeg, display);
        full = vorlane::Stretch(picture, 32, 32, vorlane::ChooseStretchMode(display, picture.BitsPerPixel()));
    } catch (const vorlane::Exception& e) {
        fullError = e.Message();
    }
    if (streamedError != fullError || !(streamed == full)) {
        std::fprintf(stderr, "streamed thumbnail differs from the full decode: '%s' / '%s'\n", streamedError.c_str(),
                     fullError.c_str());
        std::abort();
    }
    return 0;
}
