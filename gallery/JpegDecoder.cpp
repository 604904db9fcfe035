#include "gallery/JpegDecoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>
// libjpeg's module tables (inverse DCT, entropy decoder), which DecodeOnlyColumns narrows. The thumbnail
// tests compare the narrowed decode with a full one, so a library that works otherwise is caught.
#include <jpegint.h>

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
    // In a single interleaved scan also libjpeg's entropy decoder, which MCU columns hold such blocks,
    // and the column of the next MCU it decodes (it decodes each MCU once, in order).
    boolean (*decodeMcu)(j_decompress_ptr, JBLOCKROW*) = nullptr;
    const uint8_t* neededMcus = nullptr;
    JDIMENSION mcusPerRow = 0;
    JDIMENSION nextMcuColumn = 0;
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

// An MCU none of whose blocks is needed is decoded as a skipped one is: its coefficients are read past,
// not stored.
boolean SelectiveDecodeMcu(j_decompress_ptr info, JBLOCKROW* blocks)
{
    Session* s = static_cast<Session*>(info->client_data);
    const JDIMENSION column = s->nextMcuColumn;
    const boolean decoded = s->decodeMcu(info, s->neededMcus[column] != 0 ? blocks : nullptr);
    if (decoded)
        s->nextMcuColumn = column + 1 == s->mcusPerRow ? 0 : column + 1;
    return decoded;
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
    if (s->quantised || info.idct == nullptr)
        return;
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

    // A single scan holding every component is decoded an MCU at a time as rows are read or skipped,
    // and nothing of it has been decoded yet; several scans were all decoded by Start().
    if (jpeg_has_multiple_scans(&info) || info.comps_in_scan != info.num_components || info.entropy == nullptr ||
        info.MCUs_per_row == 0)
        return;
    neededMcus_.assign(info.MCUs_per_row, 0);
    for (JDIMENSION column = 0; column < info.MCUs_per_row; ++column) {
        for (int i = 0; i < info.comps_in_scan; ++i) {
            const jpeg_component_info& component = *info.cur_comp_info[i];
            const int c = component.component_index;
            for (int b = 0; b < component.MCU_width; ++b) {
                const JDIMENSION block = column * JDIMENSION(component.MCU_width) + JDIMENSION(b);
                if (block < component.width_in_blocks && s->neededBlocks[c][block] != 0)
                    neededMcus_[column] = 1;
            }
        }
    }
    s->neededMcus = neededMcus_.data();
    s->mcusPerRow = info.MCUs_per_row;
    s->nextMcuColumn = 0;
    s->decodeMcu = info.entropy->decode_mcu;
    info.entropy->decode_mcu = SelectiveDecodeMcu;
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

std::unique_ptr<std::FILE, FileCloser> OpenPictureFile(const std::string& path)
{
    // Opened without waiting, so a pipe cannot block; only a regular file is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw EFOpenError(Format(msg::FOpenError, path.c_str()));
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || ::fcntl(fd, F_SETFL, 0) != 0) {
        ::close(fd);
        throw EFOpenError(Format(msg::FOpenError, path.c_str()));
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        ::close(fd);
        throw EFOpenError(Format(msg::FOpenError, path.c_str()));
    }
    return std::unique_ptr<std::FILE, FileCloser>(file);
}

} // namespace vorlane
