// Any bytes as a picture of one format (VORLANE_FUZZ_FORMAT, the format's name): the thumbnail, which
// keeps only the rows it takes, must fail exactly when the full decode fails, with the same message, and
// otherwise equal the full decode stretched; neither may crash, hang or run away with memory.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "image/PictureDecoder.h"
#include "image/Stretch.h"
#include "platform/Exceptions.h"

namespace {

// Large pictures are valid input but slow to fuzz with; they get the same treatment at any size.
constexpr uint64_t MaxPixels = 4u << 20;
constexpr vorlane::Rgb White = vorlane::MakeRgb(255, 255, 255);

const vorlane::PictureFormat& FormatUnderTest()
{
    for (const vorlane::PictureFormat& format : vorlane::PictureFormats())
        if (std::strcmp(format.name, VORLANE_FUZZ_FORMAT) == 0)
            return format;
    std::fprintf(stderr, "no format %s in this build\n", VORLANE_FUZZ_FORMAT);
    std::abort();
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Decodes `data` once: the thumbnail as it streams (`streamed`) or the whole picture, then stretched.
vorlane::Bitmap Decode(const uint8_t* data, size_t size, bool streamed, std::string& error)
{
    const std::unique_ptr<std::FILE, FileCloser> file(fmemopen(const_cast<uint8_t*>(data), size, "rb"));
    if (!file)
        std::abort();
    try {
        const auto decoder = FormatUnderTest().Open(file.get(), size, MaxPixels);
        if (streamed)
            return vorlane::StretchPicture(*decoder, 32, 32, 24, White);
        return vorlane::Stretch(vorlane::DecodePicture(*decoder, White), 32, 32, vorlane::StretchMode::ColorOnColor);
    } catch (const vorlane::Exception& e) {
        error = e.Message();
        return {};
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0; // fmemopen takes no empty buffer
    std::string streamedError, fullError;
    const vorlane::Bitmap streamed = Decode(data, size, true, streamedError);
    const vorlane::Bitmap full = Decode(data, size, false, fullError);
    if (streamedError != fullError || !(streamed == full)) {
        std::fprintf(stderr, "streamed thumbnail differs from the full decode: '%s' / '%s'\n", streamedError.c_str(),
                     fullError.c_str());
        std::abort();
    }
    return 0;
}
