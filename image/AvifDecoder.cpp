// AVIF through libavif (with the AV1 decoders it was built with): the primary picture, or the first of
// a sequence, converted to 8-bit B, G, R, A by libavif's own colour conversion, alpha not
// premultiplied. libavif decodes a whole picture at once, so the picture is held whole.
#include <avif/avif.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/PictureFormatList.h"

namespace vorlane {
namespace {

constexpr const char* Name = "AVIF";

struct AvifDecoderDeleter {
    void operator()(avifDecoder* decoder) const { avifDecoderDestroy(decoder); }
};

void Check(avifResult result)
{
    if (result == AVIF_RESULT_TRUNCATED_DATA)
        ThrowPictureError(Name, msg::PictureCutShort);
    if (result != AVIF_RESULT_OK)
        ThrowPictureError(Name, avifResultToString(result));
}

class AvifPictureDecoder final : public PictureDecoder {
public:
    AvifPictureDecoder(std::FILE* file, uint64_t fileBytes, uint64_t maxPixels)
    {
        data_ = ReadPictureBytes(Name, file, fileBytes);
        decoder_.reset(avifDecoderCreate());
        if (!decoder_)
            ThrowPictureError(Name, avifResultToString(AVIF_RESULT_OUT_OF_MEMORY));
        avifDecoder& decoder = *decoder_;
        decoder.maxThreads = 1;
        // libavif refuses larger pictures itself when it reads their size, before it decodes them (it
        // takes no limit above its default).
        decoder.imageDimensionLimit = uint32_t(Bitmap::MaxSide);
        decoder.imageSizeLimit = uint32_t(std::min<uint64_t>(maxPixels, AVIF_DEFAULT_IMAGE_SIZE_LIMIT));
        Check(avifDecoderSetIOMemory(&decoder, data_.data(), data_.size()));
        Check(avifDecoderParse(&decoder));
        CheckPictureSize(Name, decoder.image->width, decoder.image->height, maxPixels);
        Check(avifDecoderNextImage(&decoder));
        width_ = int(decoder.image->width);
        height_ = int(decoder.image->height);
        avifRGBImageSetDefaults(&rgb_, decoder.image);
        rgb_.format = AVIF_RGB_FORMAT_BGRA;
        rgb_.depth = 8;
        avifRGBImageAllocatePixels(&rgb_);
        pixels_.allocated = true;
        Check(avifImageYUVToRGB(decoder.image, &rgb_));
        decoder_.reset(); // the planes it decoded are no longer needed
        data_ = {};
    }

    void ReadRow(uint8_t* bgra) override
    {
        std::memcpy(bgra, rgb_.pixels + size_t(next_++) * rgb_.rowBytes, size_t(width_) * 4);
    }
    void SkipRow() override { ++next_; }

private:
    std::vector<uint8_t> data_;
    std::unique_ptr<avifDecoder, AvifDecoderDeleter> decoder_;
    // The converted picture, freed with its owner also when the owner's constructor fails.
    struct RgbPixels {
        avifRGBImage image{};
        bool allocated = false;
        RgbPixels() = default;
        RgbPixels(const RgbPixels&) = delete;
        RgbPixels& operator=(const RgbPixels&) = delete;
        ~RgbPixels()
        {
            if (allocated)
                avifRGBImageFreePixels(&image);
        }
    } pixels_;
    avifRGBImage& rgb_ = pixels_.image;
    int next_ = 0;
};

// An ISO base media file whose first box is "ftyp" naming an AVIF brand (major or compatible).
bool IsAvif(std::span<const uint8_t> head)
{
    if (std::memcmp(head.data() + 4, "ftyp", 4) != 0)
        return false;
    const uint32_t boxBytes = uint32_t(head[0]) << 24 | uint32_t(head[1]) << 16 | uint32_t(head[2]) << 8 | head[3];
    for (size_t at = 8; at + 4 <= std::min<size_t>(boxBytes, head.size()); at += 4) {
        if (at == 12)
            continue; // the minor version
        if (std::memcmp(head.data() + at, "avif", 4) == 0 || std::memcmp(head.data() + at, "avis", 4) == 0)
            return true;
    }
    return false;
}

std::unique_ptr<PictureDecoder> OpenAvif(std::FILE* file, uint64_t fileBytes, uint64_t maxPixels)
{
    return std::make_unique<AvifPictureDecoder>(file, fileBytes, maxPixels);
}

} // namespace

const PictureFormat AvifFormat{Name, "*.avif", 12, IsAvif, OpenAvif};

} // namespace vorlane
