// GIF through giflib: the first frame, as a viewer shows it before the animation moves on: laid on the
// logical screen at its place, its transparent colour and the screen outside it transparent. The frame's
// colour indices are held whole (interlaced rows come in four passes), one byte a pixel.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/PictureFormatList.h"

namespace vorlane {
namespace {

constexpr const char* Name = "GIF";
// One LZW code takes at least 3 bits and stands for at most 4096 pixels.
constexpr uint64_t MaxPixelsPerByte = 8 * 4096 / 3 + 1;

int ReadFromFile(GifFileType* gif, GifByteType* buffer, int length)
{
    return int(std::fread(buffer, 1, size_t(length), static_cast<std::FILE*>(gif->UserData)));
}

struct GifCloser {
    void operator()(GifFileType* gif) const
    {
        int ignored = 0;
        DGifCloseFile(gif, &ignored);
    }
};

[[noreturn]] void Fail(int error)
{
    const char* text = GifErrorString(error);
    if (error == D_GIF_ERR_READ_FAILED || error == D_GIF_ERR_EOF_TOO_SOON)
        text = msg::PictureCutShort;
    ThrowPictureError(Name, text ? text : "error");
}

class GifDecoder final : public PictureDecoder {
public:
    GifDecoder(std::FILE* file, uint64_t fileBytes, uint64_t maxPixels)
    {
        int error = 0;
        gif_.reset(DGifOpen(file, ReadFromFile, &error));
        if (!gif_)
            Fail(error);
        GifFileType& gif = *gif_;
        CheckPictureSize(Name, uint64_t(std::max(gif.SWidth, 0)), uint64_t(std::max(gif.SHeight, 0)), maxPixels);
        width_ = gif.SWidth;
        height_ = gif.SHeight;
        int transparent = NO_TRANSPARENT_COLOR;
        for (;;) {
            GifRecordType record = UNDEFINED_RECORD_TYPE;
            if (DGifGetRecordType(&gif, &record) != GIF_OK)
                Fail(gif.Error);
            if (record == TERMINATE_RECORD_TYPE)
                ThrowPictureError(Name, "no image");
            if (record == EXTENSION_RECORD_TYPE) {
                int code = 0;
                GifByteType* block = nullptr;
                if (DGifGetExtension(&gif, &code, &block) != GIF_OK)
                    Fail(gif.Error);
                GraphicsControlBlock control{};
                if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr &&
                    DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                    transparent = control.TransparentColor;
                while (block != nullptr)
                    if (DGifGetExtensionNext(&gif, &block) != GIF_OK)
                        Fail(gif.Error);
                continue;
            }
            if (record == IMAGE_DESC_RECORD_TYPE)
                break;
        }
        if (DGifGetImageDesc(&gif) != GIF_OK)
            Fail(gif.Error);
        const GifImageDesc& frame = gif.Image;
        if (frame.Width <= 0 || frame.Height <= 0)
            ThrowPictureError(Name, GifErrorString(D_GIF_ERR_WRONG_RECORD));
        CheckPictureSize(Name, uint64_t(frame.Width), uint64_t(frame.Height), maxPixels);
        if (uint64_t(frame.Width) * uint64_t(frame.Height) / MaxPixelsPerByte > fileBytes)
            ThrowPictureError(Name, msg::PictureCutShort);
        const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif.SColorMap;
        if (map == nullptr)
            ThrowPictureError(Name, GifErrorString(D_GIF_ERR_NO_COLOR_MAP));
        // The colours as B, G, R, A: the transparent one clear, indices past the map black.
        palette_.assign(256 * 4, 0);
        for (int i = 0; i < 256; ++i) {
            uint8_t* entry = palette_.data() + 4 * i;
            if (i < map->ColorCount) {
                entry[0] = map->Colors[i].Blue;
                entry[1] = map->Colors[i].Green;
                entry[2] = map->Colors[i].Red;
            }
            entry[3] = i == transparent ? 0 : 255;
        }
        frame_ = {frame.Left, frame.Top, frame.Width, frame.Height};
        indices_.resize(size_t(frame.Width) * size_t(frame.Height));
        const auto readLine = [&](int y) {
            if (DGifGetLine(&gif, indices_.data() + size_t(y) * size_t(frame.Width), frame.Width) != GIF_OK)
                Fail(gif.Error);
        };
        if (frame.Interlace) {
            static constexpr int Start[] = {0, 4, 2, 1}, Step[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = Start[pass]; y < frame.Height; y += Step[pass])
                    readLine(y);
        } else {
            for (int y = 0; y < frame.Height; ++y)
                readLine(y);
        }
    }

    void ReadRow(uint8_t* bgra) override
    {
        std::memset(bgra, 0, size_t(width_) * 4);
        const int y = next_++ - frame_.top;
        if (y < 0 || y >= frame_.height)
            return;
        const uint8_t* indices = indices_.data() + size_t(y) * size_t(frame_.width);
        for (int x = std::max(frame_.left, 0); x < std::min(frame_.left + frame_.width, width_); ++x)
            std::memcpy(bgra + 4 * size_t(x), palette_.data() + 4 * size_t(indices[x - frame_.left]), 4);
    }
    void SkipRow() override { ++next_; }

private:
    struct Frame {
        int left = 0, top = 0, width = 0, height = 0;
    };
    std::unique_ptr<GifFileType, GifCloser> gif_;
    std::vector<uint8_t> palette_, indices_;
    Frame frame_;
    int next_ = 0;
};

bool IsGif(std::span<const uint8_t> head)
{
    return std::memcmp(head.data(), "GIF87a", 6) == 0 || std::memcmp(head.data(), "GIF89a", 6) == 0;
}

std::unique_ptr<PictureDecoder> OpenGif(std::FILE* file, uint64_t fileBytes, uint64_t maxPixels)
{
    return std::make_unique<GifDecoder>(file, fileBytes, maxPixels);
}

} // namespace

const PictureFormat GifFormat{Name, "*.gif", 6, IsGif, OpenGif};

} // namespace vorlane
