// PNG through libpng, a row at a time: palette, grey and 16-bit pictures come out as 8-bit B, G, R, A
// (16-bit samples keep their high byte), a transparent colour (tRNS) as alpha; only the rows taken are
// turned into B, G, R, A. An interlaced picture
// comes in seven passes over the whole picture, so only it is held whole.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "image/PictureFormatList.h"

namespace vorlane {
namespace {

constexpr const char* Name = "PNG";

// Plain C data only: libpng jumps back over the frames that use it.
struct PngSession {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::jmp_buf jump{};
    char message[200] = {};
};

// The session, destroyed with its owner also when the owner's constructor fails.
struct PngHandle {
    PngSession s;
    PngHandle() = default;
    PngHandle(const PngHandle&) = delete;
    PngHandle& operator=(const PngHandle&) = delete;
    ~PngHandle() { png_destroy_read_struct(&s.png, &s.info, nullptr); }
};

using Step = void (*)(PngSession*, void*);

[[noreturn]] void JumpOnError(png_structp png, png_const_charp message)
{
    auto* s = static_cast<PngSession*>(png_get_error_ptr(png));
    std::snprintf(s->message, sizeof s->message, "%s", message ? message : "");
    std::longjmp(s->jump, 1);
}

void DropWarning(png_structp, png_const_charp)
{
}

// libpng's own reader says only "Read Error" where the file ends early.
void ReadFromFile(png_structp png, png_bytep data, size_t length)
{
    if (std::fread(data, 1, length, static_cast<std::FILE*>(png_get_io_ptr(png))) != length)
        png_error(png, msg::PictureCutShort);
}

// The one place that catches libpng's errors: setjmp here, then the step, which calls libpng and nothing
// else, so no C++ object lives in a frame the jump leaves.
bool Guarded(PngSession* session, Step step, void* argument)
{
    if (setjmp(session->jump) != 0)
        return false;
    step(session, argument);
    return true;
}

class PngDecoder final : public PictureDecoder {
public:
    PngDecoder(std::FILE* file, uint64_t fileBytes, uint64_t maxPixels)
    {
        s_.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s_, JumpOnError, DropWarning);
        if (s_.png == nullptr)
            ThrowPictureError(Name, "out of memory");
        Check(Guarded(
            &s_,
            [](PngSession* s, void* f) {
                s->info = png_create_info_struct(s->png);
                if (s->info == nullptr)
                    png_error(s->png, "out of memory");
                // libpng refuses larger sides itself, before it reads past the header.
                png_set_user_limits(s->png, Bitmap::MaxSide, Bitmap::MaxSide);
                png_set_read_fn(s->png, f, ReadFromFile);
                png_read_info(s->png, s->info);
            },
            file));
        const png_uint_32 width = png_get_image_width(s_.png, s_.info);
        const png_uint_32 height = png_get_image_height(s_.png, s_.info);
        CheckPictureSize(Name, width, height, maxPixels);
        // Deflate makes at most 1032 bytes of 1: rows (with their filter byte) beyond that are not there.
        const uint64_t packed = (uint64_t(png_get_rowbytes(s_.png, s_.info)) + 1) * height;
        if (packed / 1032 > fileBytes)
            ThrowPictureError(Name, msg::PictureCutShort);
        width_ = int(width);
        height_ = int(height);
        interlaced_ = png_get_interlace_type(s_.png, s_.info) != PNG_INTERLACE_NONE;
        Check(Guarded(
            &s_,
            [](PngSession* s, void*) {
                png_set_expand(s->png); // palette to RGB, grey to 8 bits, tRNS to alpha
                png_set_strip_16(s->png);
                png_set_gray_to_rgb(s->png);
                png_set_interlace_handling(s->png);
                png_read_update_info(s->png, s->info);
            },
            nullptr));
        // R, G, B with or without A: made B, G, R, A here, for the rows taken only.
        channels_ = png_get_channels(s_.png, s_.info);
        if ((channels_ != 3 && channels_ != 4) || png_get_rowbytes(s_.png, s_.info) != size_t(width_) * channels_)
            ThrowPictureError(Name, "unexpected row layout");
    }

    void ReadRow(uint8_t* bgra) override
    {
        const uint8_t* rgb = NextRow();
        for (int x = 0; x < width_; ++x, rgb += channels_, bgra += 4) {
            bgra[0] = rgb[2];
            bgra[1] = rgb[1];
            bgra[2] = rgb[0];
            bgra[3] = channels_ == 4 ? rgb[3] : 255;
        }
    }

    void SkipRow() override { NextRow(); }

    void Finish() override
    {
        ReadWhole();
        Check(Guarded(
            &s_, [](PngSession* s, void*) { png_read_end(s->png, nullptr); }, nullptr));
    }

private:
    void Check(bool succeeded)
    {
        if (!succeeded)
            ThrowPictureError(Name, s_.message);
    }

    // The next row as libpng gives it.
    const uint8_t* NextRow()
    {
        const size_t rowBytes = size_t(width_) * channels_;
        if (interlaced_) {
            ReadWhole();
            return whole_.data() + size_t(next_++) * rowBytes;
        }
        row_.resize(rowBytes);
        Check(Guarded(
            &s_, [](PngSession* s, void* row) { png_read_row(s->png, static_cast<png_bytep>(row), nullptr); },
            row_.data()));
        return row_.data();
    }

    // An interlaced picture, all seven passes, into rows of its own.
    void ReadWhole()
    {
        if (!interlaced_ || !whole_.empty())
            return;
        const size_t rowBytes = size_t(width_) * channels_;
        whole_.resize(rowBytes * size_t(height_));
        std::vector<png_bytep> rows(static_cast<size_t>(height_));
        for (int y = 0; y < height_; ++y)
            rows[size_t(y)] = whole_.data() + size_t(y) * rowBytes;
        Check(Guarded(
            &s_, [](PngSession* s, void* r) { png_read_image(s->png, static_cast<png_bytepp>(r)); }, rows.data()));
    }

    PngHandle handle_;
    PngSession& s_ = handle_.s;
    bool interlaced_ = false;
    size_t channels_ = 4;
    int next_ = 0;
    std::vector<uint8_t> whole_, row_;
};

bool IsPng(std::span<const uint8_t> head)
{
    return png_sig_cmp(head.data(), 0, 8) == 0;
}

std::unique_ptr<PictureDecoder> OpenPng(std::FILE* file, uint64_t fileBytes, uint64_t maxPixels)
{
    return std::make_unique<PngDecoder>(file, fileBytes, maxPixels);
}

} // namespace

const PictureFormat PngFormat{Name, "*.png", 8, IsPng, OpenPng};

} // namespace vorlane
