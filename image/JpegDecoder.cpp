#include "image/JpegDecoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstring>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>
// libjpeg's module tables, for the inverse DCT that DecodeOnlyColumns narrows. Their layout is the
// library's own business: the narrowing is built only for the libjpeg-turbo versions whose table is known
// (2.x and 3.x keep `inverse_DCT` where 2.1 has it), and everywhere else pictures are decoded in full.
// The thumbnail tests and fuzz target compare the narrowed decode with a full one.
#include <jpegint.h>
#if defined(LIBJPEG_TURBO_VERSION_NUMBER) && LIBJPEG_TURBO_VERSION_NUMBER >= 2000000 && \
    LIBJPEG_TURBO_VERSION_NUMBER < 4000000 && JPEG_LIB_VERSION == 62
#define VORLANE_NARROW_IDCT 1
#else
#define VORLANE_NARROW_IDCT 0
#endif

#include "platform/Exceptions.h"

namespace vorlane {

// Plain C data only: libjpeg jumps back over the frames that use it.
struct JpegSession {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    bool quantised = false;
    // DecodeOnlyColumns: libjpeg's own inverse DCT per component, and which block columns need it.
    inverse_DCT_method_ptr inverseDct[MAX_COMPONENTS]{};
    const uint8_t* neededBlocks[MAX_COMPONENTS]{};
    JDIMENSION blockColumns[MAX_COMPONENTS]{};
};

namespace {

using Session = JpegSession;
using Step = void (*)(Session*, void*);

[[noreturn]] void JumpOnError(j_common_ptr common)
{
    Session* session = static_cast<Session*>(common->client_data);
    std::longjmp(session->jump, 1);
}

void DropMessage(j_common_ptr, int) {}
void DropOutput(j_common_ptr) {}

void LimitScans(j_common_ptr common)
{
    if (common->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(common)->input_scan_number > JpegDecoder::MaxScans) {
        common->err->msg_code = JERR_BAD_PROGRESSION;
        common->err->error_exit(common);
    }
}

void SelectiveInverseDct(j_decompress_ptr info, jpeg_component_info* component, JCOEFPTR coefficients,
                         JSAMPARRAY output, JDIMENSION outputColumn)
{
    const Session* s = static_cast<const Session*>(info->client_data);
    const int c = component->component_index;
    const JDIMENSION size = JDIMENSION(component->DCT_scaled_size);
    const JDIMENSION block = outputColumn / size;
    if (block >= s->blockColumns[c] || s->neededBlocks[c][block] != 0) {
        s->inverseDct[c](info, component, coefficients, output, outputColumn);
        return;
    }
    // A block no kept column depends on: black, cheaper than transforming it and never left undefined.
    static constexpr JSAMPLE Black[DCTSIZE] = {};
    if (size == DCTSIZE) {
        for (int row = 0; row < DCTSIZE; ++row)
            std::memcpy(output[row] + outputColumn, Black, DCTSIZE);
    } else {
        for (JDIMENSION row = 0; row < size; ++row)
            std::memset(output[row] + outputColumn, 0, size);
    }
}

// The one place that catches libjpeg's errors, as libjpeg's own example does: setjmp here, then the step,
// which calls libjpeg and nothing else, so no C++ object lives in a frame the jump leaves.
bool Guarded(Session* session, Step step, void* argument)
{
    if (setjmp(session->jump) != 0)
        return false;
    step(session, argument);
    return true;
}

} // namespace

JpegDecoder::JpegDecoder(std::span<const uint8_t> data) : JpegDecoder(static_cast<std::FILE*>(nullptr))
{
    struct Source {
        const uint8_t* bytes;
        unsigned long size;
    } source{data.data(), static_cast<unsigned long>(data.size())};
    Check(Guarded(session_.get(), [](Session* s, void* a) {
        const Source* src = static_cast<const Source*>(a);
        jpeg_mem_src(&s->info, src->bytes, src->size);
    }, &source));
}

JpegDecoder::JpegDecoder(std::FILE* file) : session_(std::make_unique<JpegSession>())
{
    Session* s = session_.get();
    s->info.err = jpeg_std_error(&s->errors);
    s->errors.error_exit = JumpOnError;
    s->errors.emit_message = DropMessage;
    s->errors.output_message = DropOutput;
    s->info.client_data = s;
    // Creating keeps err and client_data; destroying a zeroed or half-created object is harmless.
    Check(Guarded(s, [](Session* s, void*) { jpeg_create_decompress(&s->info); }, nullptr));
    s->info.mem->max_memory_to_use = MaxLibraryMemory;
    s->progress.progress_monitor = LimitScans;
    s->info.progress = &s->progress;
    if (file != nullptr)
        Check(Guarded(s, [](Session* s, void* f) { jpeg_stdio_src(&s->info, static_cast<std::FILE*>(f)); }, file));
}

JpegDecoder::~JpegDecoder()
{
    jpeg_destroy_decompress(&session_->info);
}

void JpegDecoder::Check(bool succeeded) const
{
    if (!succeeded)
        throw EJPEG(Format(msg::JpegError, session_->errors.msg_code));
}

void JpegDecoder::ReadHeader(int displayBitsPerPixel)
{
    Session* s = session_.get();
    Check(Guarded(s, [](Session* s, void*) { jpeg_read_header(&s->info, TRUE); }, nullptr));

    jpeg_decompress_struct& info = s->info;
    info.scale_num = 1;
    info.scale_denom = 1;
    info.dct_method = JDCT_ISLOW;
    info.do_block_smoothing = TRUE;
    info.do_fancy_upsampling = TRUE;
    info.buffered_image = FALSE;
    const bool greyscale = info.jpeg_color_space == JCS_GRAYSCALE;
    s->quantised = greyscale || displayBitsPerPixel <= 8;
    if (s->quantised) {
        // libjpeg's defaults for the rest: two-pass quantising of colour, Floyd-Steinberg dithering.
        info.out_color_space = greyscale ? JCS_GRAYSCALE : JCS_RGB;
        info.quantize_colors = TRUE;
        info.desired_number_of_colors = 236;
    } else {
        // The bitmap's own byte order; libjpeg's conversion is the same as for RGB.
        info.out_color_space = JCS_EXT_BGR;
    }

    // libjpeg itself refuses sides over 65,500; a picture the Bitmap could not hold is refused here,
    // with libjpeg's own numbers, before anything big is allocated.
    if (info.image_width > JDIMENSION(Bitmap::MaxSide) || info.image_height > JDIMENSION(Bitmap::MaxSide))
        throw EJPEG(Format(msg::JpegError, int(JERR_IMAGE_TOO_BIG)));
    const size_t stride = Bitmap::StrideFor(int(info.image_width), BitsPerPixel());
    if (stride == 0 || stride > Bitmap::MaxBytes / info.image_height)
        throw EJPEG(Format(msg::JpegError, int(JERR_OUT_OF_MEMORY)));
}

int JpegDecoder::Width() const { return int(session_->info.image_width); }
int JpegDecoder::Height() const { return int(session_->info.image_height); }
int JpegDecoder::BitsPerPixel() const { return session_->quantised ? 8 : 24; }
void JpegDecoder::CheckClaimedSize(uint64_t fileBytes, uint64_t maxPixels) const
{
    const jpeg_decompress_struct& info = session_->info;
    if (uint64_t(info.image_width) * info.image_height > maxPixels)
        throw EJPEG(Format(msg::JpegError, int(JERR_IMAGE_TOO_BIG)));
    if (info.arith_code)
        return;
    uint64_t blocks = 0;
    for (int c = 0; c < info.num_components; ++c)
        blocks = std::max(blocks, uint64_t(info.comp_info[c].width_in_blocks) * info.comp_info[c].height_in_blocks);
    if (blocks / 8 > fileBytes)
        throw EJPEG(Format(msg::JpegError, int(JERR_INPUT_EOF)));
}

bool JpegDecoder::CanSkipRows() const { return !session_->quantised; }

void JpegDecoder::Start()
{
    Check(Guarded(session_.get(), [](Session* s, void*) { jpeg_start_decompress(&s->info); }, nullptr));
}

std::vector<RgbQuad> JpegDecoder::Palette() const
{
    std::vector<RgbQuad> palette;
    const jpeg_decompress_struct& info = session_->info;
    if (!session_->quantised || info.colormap == nullptr)
        return palette;
    const bool grey = info.out_color_components == 1;
    for (int i = 0; i < info.actual_number_of_colors; ++i) {
        RgbQuad entry;
        entry.red = info.colormap[0][i];
        entry.green = info.colormap[grey ? 0 : 1][i];
        entry.blue = info.colormap[grey ? 0 : 2][i];
        palette.push_back(entry);
    }
    return palette;
}

void JpegDecoder::ReadRow(uint8_t* row)
{
    Check(Guarded(session_.get(), [](Session* s, void* r) {
        JSAMPROW rows[1] = {static_cast<JSAMPROW>(r)};
        jpeg_read_scanlines(&s->info, rows, 1);
    }, row));
}

void JpegDecoder::DecodeOnlyColumns(const std::vector<int>& columns)
{
    Session* s = session_.get();
    jpeg_decompress_struct& info = s->info;
    if (!VORLANE_NARROW_IDCT || s->quantised || info.idct == nullptr)
        return;
    for (int c = 0; c < info.num_components; ++c)
        if (info.idct->inverse_DCT[c] == nullptr || info.comp_info[c].DCT_scaled_size < 1)
            return; // not the table this was built for: decode in full
    std::vector<size_t> offsets;
    size_t total = 0;
    for (int c = 0; c < info.num_components; ++c) {
        offsets.push_back(total);
        total += info.comp_info[c].width_in_blocks;
    }
    neededBlocks_.assign(total, 0);
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& component = info.comp_info[c];
        const int64_t samples = component.downsampled_width;
        for (const int x : columns) {
            // The component's sample under x, and its neighbours, which upsampling may blend in.
            const int64_t sample = int64_t(x) * component.h_samp_factor / info.max_h_samp_factor;
            for (int64_t i = std::max<int64_t>(0, sample - 1); i <= std::min(samples - 1, sample + 1); ++i) {
                const size_t block = size_t(i / component.DCT_scaled_size);
                if (block < component.width_in_blocks)
                    neededBlocks_[offsets[size_t(c)] + block] = 1;
            }
        }
        s->neededBlocks[c] = neededBlocks_.data() + offsets[size_t(c)];
        s->blockColumns[c] = component.width_in_blocks;
        s->inverseDct[c] = info.idct->inverse_DCT[c];
        info.idct->inverse_DCT[c] = SelectiveInverseDct;
    }
}

void JpegDecoder::SkipRows(int count)
{
    JDIMENSION lines = JDIMENSION(count);
    Check(Guarded(session_.get(), [](Session* s, void* n) {
        jpeg_skip_scanlines(&s->info, *static_cast<JDIMENSION*>(n));
    }, &lines));
}

int JpegDecoder::NextRow() const { return int(session_->info.output_scanline); }

void JpegDecoder::Finish()
{
    Check(Guarded(session_.get(), [](Session* s, void*) { jpeg_finish_decompress(&s->info); }, nullptr));
}

} // namespace vorlane
