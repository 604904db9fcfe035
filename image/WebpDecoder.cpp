// WebP through libwebp: lossy and lossless pictures, with or without alpha, and the first frame of an
// animation as a viewer shows it (the frame laid on a transparent canvas by libwebp's demuxer). libwebp
// decodes a whole picture at once, so the picture is held whole, as B, G, R, A.
#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <vector>

#include "image/PictureFormatList.h"
#include "platform/ByteCursor.h"

namespace vorlane {
namespace {

constexpr const char* Name = "WebP";

const char* StatusText(VP8StatusCode status)
{
    switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
        return "out of memory";
    case VP8_STATUS_INVALID_PARAM:
        return "invalid parameter";
    case VP8_STATUS_BITSTREAM_ERROR:
        return "bitstream error";
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        return "unsupported feature";
    case VP8_STATUS_SUSPENDED:
        return "suspended";
    case VP8_STATUS_USER_ABORT:
        return "user abort";
    case VP8_STATUS_NOT_ENOUGH_DATA:
        return msg::PictureCutShort;
    default:
        return "error";
    }
}

class WebpDecoder final : public PictureDecoder {
public:
    WebpDecoder(std::FILE* file, uint64_t fileBytes, uint64_t maxPixels)
    {
        data_ = ReadPictureBytes(Name, file, fileBytes);
        // The RIFF header: "RIFF", the size of what follows, "WEBP". A size beyond the file is a file cut short.
        ByteReader riff(data_);
        riff.Skip(4);                              // "RIFF"
        const uint32_t riffBytes = riff.ReadU32(); // the bytes after this field
        if (uint64_t(riffBytes) + 8 > fileBytes)
            ThrowPictureError(Name, msg::PictureCutShort);
        WebPBitstreamFeatures features{};
        const VP8StatusCode status = WebPGetFeatures(data_.data(), data_.size(), &features);
        if (status != VP8_STATUS_OK)
            ThrowPictureError(Name, StatusText(status));
        CheckPictureSize(Name, uint64_t(features.width), uint64_t(features.height), maxPixels);
        if (features.has_animation)
            DecodeFirstFrame(maxPixels);
        else
            DecodeStill();
        if (!animation_)
            data_ = {}; // the animation decoder reads the file's bytes in place
    }

    // A failed WebPDecode frees its own output; a decoded still picture is freed here.
    ~WebpDecoder() override { WebPFreeDecBuffer(&config_.output); }

    void ReadRow(uint8_t* bgra) override { std::memcpy(bgra, pixels_ + size_t(next_++) * stride_, size_t(width_) * 4); }
    void SkipRow() override { ++next_; }

private:
    void DecodeStill()
    {
        WebPInitDecoderConfig(&config_);
        config_.output.colorspace = MODE_BGRA;
        const VP8StatusCode status = WebPDecode(data_.data(), data_.size(), &config_);
        if (status != VP8_STATUS_OK)
            ThrowPictureError(Name, StatusText(status));
        width_ = config_.output.width;
        height_ = config_.output.height;
        pixels_ = config_.output.u.RGBA.rgba;
        stride_ = size_t(config_.output.u.RGBA.stride);
    }

    void DecodeFirstFrame(uint64_t maxPixels)
    {
        WebPAnimDecoderOptions options;
        if (!WebPAnimDecoderOptionsInit(&options))
            ThrowPictureError(Name, "unsupported feature");
        options.color_mode = MODE_BGRA;
        options.use_threads = 0;
        const WebPData data{data_.data(), data_.size()};
        animation_.reset(WebPAnimDecoderNew(&data, &options));
        WebPAnimInfo info{};
        if (animation_ == nullptr || !WebPAnimDecoderGetInfo(animation_.get(), &info))
            ThrowPictureError(Name, StatusText(VP8_STATUS_BITSTREAM_ERROR));
        CheckPictureSize(Name, info.canvas_width, info.canvas_height, maxPixels);
        uint8_t* canvas = nullptr;
        int timestamp = 0;
        if (!WebPAnimDecoderGetNext(animation_.get(), &canvas, &timestamp))
            ThrowPictureError(Name, StatusText(VP8_STATUS_BITSTREAM_ERROR));
        width_ = int(info.canvas_width);
        height_ = int(info.canvas_height);
        pixels_ = canvas;
        stride_ = size_t(width_) * 4;
    }

    std::vector<uint8_t> data_;
    WebPDecoderConfig config_{};
    struct AnimationDeleter {
        void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
    };
    // Holds the canvas of the first frame; declared after data_, which it reads, so it goes first.
    std::unique_ptr<WebPAnimDecoder, AnimationDeleter> animation_;
    const uint8_t* pixels_ = nullptr;
    size_t stride_ = 0;
    int next_ = 0;
};

bool IsWebp(std::span<const uint8_t> head)
{
    return std::memcmp(head.data(), "RIFF", 4) == 0 && std::memcmp(head.data() + 8, "WEBP", 4) == 0;
}

std::unique_ptr<PictureDecoder> OpenWebp(std::FILE* file, uint64_t fileBytes, uint64_t maxPixels)
{
    return std::make_unique<WebpDecoder>(file, fileBytes, maxPixels);
}

} // namespace

const PictureFormat WebpFormat{Name, "*.webp", 12, IsWebp, OpenWebp};

} // namespace vorlane
