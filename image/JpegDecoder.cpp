#include "image/JpegDecoder.h"

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstddef>
#include <cstdlib>
#include <cstring>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>
// libjpeg's module tables, for the inverse DCT that DecodeOnlyColumns narrows. Their layout is the
// library's own business: the narrowing is built only for the libjpeg-turbo versions whose table is known
// (2.x and 3.x keep `inverse_DCT` where 2.1 has it), and everywhere else pictures are decoded in full.
// The thumbnail tests and fuzz target compare the narrowed decode with a full one.
#include <jpegint.h>
#if defined(LIBJPEG_TURBO_VERSION_NUMBER) && LIBJPEG_TURBO_VERSION_NUMBER >= 2000000 &&                                \
    LIBJPEG_TURBO_VERSION_NUMBER < 4000000 && JPEG_LIB_VERSION == 62
#define VORLANE_NARROW_IDCT 1
#else
#define VORLANE_NARROW_IDCT 0
#endif

#include "image/Orientation.h"
#include "platform/Exceptions.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    // KeepOnlySamples: the output rows and columns wanted (borrowed from the decoder), the coefficient
    // arrays kept in little memory, one per component, and libjpeg's own array functions.
    const int* keptRows = nullptr;
    size_t keptRowCount = 0;
    const int* keptColumns = nullptr;
    size_t keptColumnCount = 0;
    struct SparseBlocks* sparse[MAX_COMPONENTS]{};
    // Each component's packed rows (SparseBlocks::nonzero), kept here too: libjpeg frees its pool, where
    // the arrays live, before the decoder goes, and the rows are the decoder's to free.
    struct PackedRow* packedRows[MAX_COMPONENTS]{};
    JDIMENSION packedRowCount[MAX_COMPONENTS]{};
    bool historyLost = false; // a refinement came for coefficients whose bits were let go
    int sparseCount = 0;
    jvirt_barray_ptr (*requestBlocks)(j_common_ptr, int, boolean, JDIMENSION, JDIMENSION, JDIMENSION) = nullptr;
    JBLOCKARRAY (*accessBlocks)(j_common_ptr, jvirt_barray_ptr, JDIMENSION, JDIMENSION, boolean) = nullptr;
};

// The coefficients of one component of a progressive picture, for a thumbnail: every scan is still
// decoded, but only the blocks the kept samples depend on are held whole. Every other block keeps one
// bit per coefficient (packed), whether it is nonzero, which is all a later refinement scan needs to be decoded
// correctly; blocks near the kept ones keep their DC value as well, which block smoothing reads. The
// rows libjpeg works on are laid out in full in a window. Everything lives in libjpeg's image pool.
struct SparseBlocks {
    JDIMENSION width = 0;               // blocks per row
    JDIMENSION height = 0;              // block rows
    int* wholeRow = nullptr;            // per block row: its slot among the whole blocks' rows, or -1
    int* wholeColumn = nullptr;         // per block column: likewise
    JDIMENSION* wholeColumns = nullptr; // the block columns held whole
    int wholeRowCount = 0, wholeColumnCount = 0;
    JBLOCK* whole = nullptr;
    int* dcRow = nullptr;
    int* dcColumn = nullptr;
    JDIMENSION* dcColumns = nullptr;
    int dcRowCount = 0, dcColumnCount = 0;
    JCOEF* dc = nullptr;
    // Per block row, which coefficients of each block are nonzero, packed: a byte per block whose bit j
    // says row j of the block holds a nonzero coefficient, then one byte for each such row (bit i:
    // column i), so that a block of low frequencies takes a few bytes rather than eight. Held in memory
    // of its own (malloc), which the decoder frees.
    struct PackedRow* nonzero = nullptr;
    uint64_t* unpacked = nullptr; // one row's blocks, as bits in natural order
    // The AC coefficients (natural order) whose last scan brought them to full precision (Al = 0): no
    // refinement may follow, so their bits are let go, and a component that has had its last
    // refinement holds none. (The DC bit is never read. Damaged data may set coefficients outside a
    // scan's band, so the bits of bands no scan has reached yet are kept.)
    uint64_t finished = 0;
    int lastScan = -1;
    uint8_t* packing = nullptr; // one row being packed
    JBLOCK* window = nullptr;
    JBLOCKROW* rows = nullptr;
    JDIMENSION windowCapacity = 0; // rows
    JDIMENSION windowStart = 0, windowRows = 0;
    boolean windowWritten = FALSE;
};

struct PackedRow {
    uint8_t* bytes;
    uint32_t size;
    uint32_t capacity;
};

namespace {

using Session = JpegSession;
using Step = void (*)(Session*, void*);

[[noreturn]] void JumpOnError(j_common_ptr common)
{
    Session* session = static_cast<Session*>(common->client_data);
    std::longjmp(session->jump, 1);
}

void DropMessage(j_common_ptr, int)
{
}
void DropOutput(j_common_ptr)
{
}

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

// ---- Progressive pictures in little memory ----

uint64_t NonzeroBits(const JCOEF* block)
{
#if defined(__SSE2__)
    // Sixteen coefficients at a time: compared with zero, packed to bytes, one bit each.
    const __m128i zero = _mm_setzero_si128();
    uint64_t bits = 0;
    for (int i = 0; i < DCTSIZE2; i += 16) {
        const __m128i low = _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i)), zero);
        const __m128i high = _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i + 8)), zero);
        const uint32_t zeros = uint32_t(_mm_movemask_epi8(_mm_packs_epi16(low, high)));
        bits |= uint64_t(~zeros & 0xFFFFu) << i;
    }
    return bits;
#else
    uint64_t bits = 0;
    for (int k = 0; k < DCTSIZE2; ++k)
        bits |= uint64_t(block[k] != 0) << k;
    return bits;
#endif
}

// Marks, for every kept output position, the component's blocks around it: the samples one either side,
// which upsampling blends in, widened by `reach` blocks. Returns how many were marked.
int MarkBlocks(const int* positions, size_t count, int samplingFactor, int maxSamplingFactor, JDIMENSION samples,
               int blockSize, int reach, JDIMENSION blocks, int* slot)
{
    for (JDIMENSION b = 0; b < blocks; ++b)
        slot[b] = -1;
    for (size_t i = 0; i < count; ++i) {
        const int64_t sample = int64_t(positions[i]) * samplingFactor / maxSamplingFactor;
        const int64_t first = std::max<int64_t>(0, sample - 1) / blockSize - reach;
        const int64_t last = std::min<int64_t>(int64_t(samples) - 1, sample + 1) / blockSize + reach;
        for (int64_t b = std::max<int64_t>(first, 0); b <= last && b < int64_t(blocks); ++b)
            slot[b] = 0;
    }
    int marked = 0;
    for (JDIMENSION b = 0; b < blocks; ++b)
        if (slot[b] == 0)
            slot[b] = marked++;
    return marked;
}

JDIMENSION* ListOf(j_common_ptr common, const int* slot, JDIMENSION blocks, int count)
{
    auto* list = static_cast<JDIMENSION*>(
        common->mem->alloc_small(common, JPOOL_IMAGE, sizeof(JDIMENSION) * size_t(std::max(count, 1))));
    for (JDIMENSION b = 0; b < blocks; ++b)
        if (slot[b] >= 0)
            list[slot[b]] = b;
    return list;
}

void* PoolMemory(j_common_ptr common, size_t bytes)
{
    return common->mem->alloc_large(common, JPOOL_IMAGE, std::max<size_t>(bytes, 1));
}

jvirt_barray_ptr RequestSparseBlocks(j_common_ptr common, int pool, boolean preZero, JDIMENSION width,
                                     JDIMENSION height, JDIMENSION maxAccess)
{
    Session* s = static_cast<Session*>(common->client_data);
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    // The coefficient controller asks for one array per component, in component order.
    if (s->sparseCount >= info->num_components || pool != JPOOL_IMAGE || !preZero)
        return s->requestBlocks(common, pool, preZero, width, height, maxAccess);
    const int c = s->sparseCount;
    const jpeg_component_info& component = info->comp_info[c];
    auto* a = static_cast<SparseBlocks*>(common->mem->alloc_small(common, JPOOL_IMAGE, sizeof(SparseBlocks)));
    *a = SparseBlocks{};
    a->width = width;
    a->height = height;
    const int size = component.DCT_scaled_size;
    a->wholeRow = static_cast<int*>(PoolMemory(common, sizeof(int) * height));
    a->wholeColumn = static_cast<int*>(PoolMemory(common, sizeof(int) * width));
    a->dcRow = static_cast<int*>(PoolMemory(common, sizeof(int) * height));
    a->dcColumn = static_cast<int*>(PoolMemory(common, sizeof(int) * width));
    a->wholeRowCount = MarkBlocks(s->keptRows, s->keptRowCount, component.v_samp_factor, info->max_v_samp_factor,
                                  component.downsampled_height, size, 0, height, a->wholeRow);
    a->wholeColumnCount =
        MarkBlocks(s->keptColumns, s->keptColumnCount, component.h_samp_factor, info->max_h_samp_factor,
                   component.downsampled_width, size, 0, width, a->wholeColumn);
    // Block smoothing reads the DC values of the blocks up to two rows and columns away.
    a->dcRowCount = MarkBlocks(s->keptRows, s->keptRowCount, component.v_samp_factor, info->max_v_samp_factor,
                               component.downsampled_height, size, 2, height, a->dcRow);
    a->dcColumnCount = MarkBlocks(s->keptColumns, s->keptColumnCount, component.h_samp_factor, info->max_h_samp_factor,
                                  component.downsampled_width, size, 2, width, a->dcColumn);
    a->wholeColumns = ListOf(common, a->wholeColumn, width, a->wholeColumnCount);
    a->dcColumns = ListOf(common, a->dcColumn, width, a->dcColumnCount);
    const size_t wholeBlocks = size_t(a->wholeRowCount) * size_t(a->wholeColumnCount);
    a->whole = static_cast<JBLOCK*>(PoolMemory(common, sizeof(JBLOCK) * wholeBlocks));
    std::memset(a->whole, 0, sizeof(JBLOCK) * wholeBlocks);
    const size_t dcBlocks = size_t(a->dcRowCount) * size_t(a->dcColumnCount);
    a->dc = static_cast<JCOEF*>(PoolMemory(common, sizeof(JCOEF) * dcBlocks));
    std::memset(a->dc, 0, sizeof(JCOEF) * dcBlocks);
    a->nonzero = static_cast<PackedRow*>(std::calloc(std::max<JDIMENSION>(height, 1), sizeof(PackedRow)));
    if (a->nonzero == nullptr) {
        common->err->msg_code = JERR_OUT_OF_MEMORY;
        common->err->error_exit(common);
    }
    s->packedRows[c] = a->nonzero;
    s->packedRowCount[c] = height;
    a->unpacked = static_cast<uint64_t*>(PoolMemory(common, sizeof(uint64_t) * width));
    a->packing = static_cast<uint8_t*>(PoolMemory(common, 9 * size_t(width)));
    a->windowCapacity = maxAccess;
    a->window = static_cast<JBLOCK*>(PoolMemory(common, sizeof(JBLOCK) * size_t(width) * maxAccess));
    a->rows = static_cast<JBLOCKROW*>(PoolMemory(common, sizeof(JBLOCKROW) * maxAccess));
    // Every row of the window is there, also past those asked for.
    for (JDIMENSION i = 0; i < maxAccess; ++i)
        a->rows[i] = a->window + size_t(i) * width;
    s->sparse[c] = a;
    ++s->sparseCount;
    return reinterpret_cast<jvirt_barray_ptr>(a);
}

// The nonzero bits of a block row's blocks, into a.unpacked.
void UnpackRow(SparseBlocks& a, JDIMENSION row)
{
    const PackedRow& packed = a.nonzero[row];
    if (packed.size == 0) {
        std::memset(a.unpacked, 0, sizeof(uint64_t) * a.width);
        return;
    }
    const uint8_t* p = packed.bytes;
    for (JDIMENSION b = 0; b < a.width; ++b) {
        uint64_t bits = 0;
        for (unsigned rows = *p++; rows != 0; rows &= rows - 1)
            bits |= uint64_t(*p++) << (8 * std::countr_zero(rows));
        a.unpacked[b] = bits;
    }
}

// a.unpacked packed into the block row's own memory; false when there is no memory for it.
bool PackRow(SparseBlocks& a, JDIMENSION row)
{
    uint8_t* out = a.packing;
    bool any = false;
    for (JDIMENSION b = 0; b < a.width; ++b) {
        const uint64_t bits = a.unpacked[b];
        uint8_t* rows = out++;
        *rows = 0;
        for (int j = 0; j < 8; ++j)
            if (const uint8_t columns = uint8_t(bits >> (8 * j)); columns != 0) {
                *rows |= uint8_t(1u << j);
                *out++ = columns;
            }
        any = any || bits != 0;
    }
    PackedRow& packed = a.nonzero[row];
    const uint32_t size = any ? uint32_t(out - a.packing) : 0;
    if (size > packed.capacity) {
        const uint32_t capacity = size + size / 4;
        void* grown = std::realloc(packed.bytes, capacity);
        if (grown == nullptr)
            return false;
        packed.bytes = static_cast<uint8_t*>(grown);
        packed.capacity = capacity;
    }
    if (size != 0)
        std::memcpy(packed.bytes, a.packing, size);
    packed.size = size;
    return true;
}

void FreePackedRows(PackedRow* rows, JDIMENSION count)
{
    if (rows == nullptr)
        return;
    for (JDIMENSION row = 0; row < count; ++row)
        std::free(rows[row].bytes);
    std::free(rows);
}

// What the window's rows hold goes back into the array; false when there is no memory for it.
bool KeepWindow(SparseBlocks& a)
{
    for (JDIMENSION i = 0; i < a.windowRows; ++i) {
        const JDIMENSION row = a.windowStart + i;
        const JBLOCKROW blocks = a.rows[i];
        UnpackRow(a, row);
        for (JDIMENSION b = 0; b < a.width; ++b) // a nonzero coefficient never becomes zero again
            a.unpacked[b] = (a.unpacked[b] | NonzeroBits(blocks[b])) & ~(a.finished | 1);
        if (!PackRow(a, row))
            return false;
        if (a.wholeRow[row] >= 0) {
            JBLOCK* whole = a.whole + size_t(a.wholeRow[row]) * size_t(a.wholeColumnCount);
            for (int k = 0; k < a.wholeColumnCount; ++k)
                std::memcpy(whole[k], blocks[a.wholeColumns[k]], sizeof(JBLOCK));
        }
        if (a.dcRow[row] >= 0) {
            JCOEF* dc = a.dc + size_t(a.dcRow[row]) * size_t(a.dcColumnCount);
            for (int k = 0; k < a.dcColumnCount; ++k)
                dc[k] = blocks[a.dcColumns[k]][0];
        }
    }
    return true;
}

// Lays rows out in the window: whole blocks as held, DC values where kept, and for a refinement scan,
// which must know which coefficients are nonzero, a 1 in place of each nonzero one.
void FillWindow(SparseBlocks& a, JDIMENSION start, JDIMENSION count, bool refinement)
{
    std::memset(a.window, 0, sizeof(JBLOCK) * size_t(a.width) * count);
    for (JDIMENSION i = 0; i < count; ++i) {
        const JDIMENSION row = start + i;
        const JBLOCKROW blocks = a.rows[i];
        if (refinement) {
            UnpackRow(a, row);
            for (JDIMENSION b = 0; b < a.width; ++b)
                for (uint64_t bits = a.unpacked[b]; bits != 0; bits &= bits - 1)
                    blocks[b][std::countr_zero(bits)] = 1;
        }
        if (a.dcRow[row] >= 0) {
            const JCOEF* dc = a.dc + size_t(a.dcRow[row]) * size_t(a.dcColumnCount);
            for (int k = 0; k < a.dcColumnCount; ++k)
                blocks[a.dcColumns[k]][0] = dc[k];
        }
        if (a.wholeRow[row] >= 0) {
            const JBLOCK* whole = a.whole + size_t(a.wholeRow[row]) * size_t(a.wholeColumnCount);
            for (int k = 0; k < a.wholeColumnCount; ++k)
                std::memcpy(blocks[a.wholeColumns[k]], whole[k], sizeof(JBLOCK));
        }
    }
    a.windowStart = start;
    a.windowRows = count;
}

JBLOCKARRAY AccessSparseBlocks(j_common_ptr common, jvirt_barray_ptr array, JDIMENSION start, JDIMENSION count,
                               boolean writable)
{
    Session* s = static_cast<Session*>(common->client_data);
    SparseBlocks* a = nullptr;
    for (int c = 0; c < s->sparseCount; ++c)
        if (reinterpret_cast<jvirt_barray_ptr>(s->sparse[c]) == array)
            a = s->sparse[c];
    if (a == nullptr)
        return s->accessBlocks(common, array, start, count, writable);
    if (count > a->windowCapacity || start + count > a->height) {
        common->err->msg_code = JERR_BAD_VIRTUAL_ACCESS;
        common->err->error_exit(common);
    }
    if (a->windowWritten && !KeepWindow(*a)) {
        common->err->msg_code = JERR_OUT_OF_MEMORY;
        common->err->error_exit(common);
    }
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    if (writable && info->input_scan_number != a->lastScan) {
        // A scan of this component begins. A refinement of coefficients already complete (which libjpeg
        // decodes after a warning) would need bits no longer kept: such a file is decoded in full instead.
        a->lastScan = info->input_scan_number;
        uint64_t band = 0;
        for (int k = std::max(info->Ss, 1); k <= info->Se && k < DCTSIZE2; ++k)
            band |= uint64_t(1) << jpeg_natural_order[k];
        if (info->Ah != 0 && (band & a->finished) != 0) {
            s->historyLost = true;
            common->err->msg_code = JERR_BAD_PROGRESSION;
            common->err->error_exit(common);
        }
        if (info->Al == 0) // once let go, for good: any later refinement of it goes the full way
            a->finished |= band;
    }
    // Only an AC refinement scan reads what earlier scans left. Smoothing may read rows past those it
    // asks for, as libjpeg's own arrays hold them: the window is filled as far as it reaches.
    const bool refinement = writable && info->Ah != 0 && info->Ss != 0;
    FillWindow(*a, start, writable ? count : std::min(a->windowCapacity, a->height - start), refinement);
    a->windowWritten = writable;
    return a->rows;
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
    data_ = data;
    SetSource(false);
}

// libjpeg reads from the start of the data, or from where the file was when the decoder was made
// (`again`: it is brought back there).
void JpegDecoder::SetSource(bool again)
{
    if (file_ != nullptr) {
        if (again && (fileStart_ < 0 || std::fseek(file_, fileStart_, SEEK_SET) != 0))
            throw EJPEG(Format(msg::JpegError, int(JERR_FILE_READ)));
        Check(Guarded(
            session_.get(), [](Session* s, void* f) { jpeg_stdio_src(&s->info, static_cast<std::FILE*>(f)); }, file_));
        return;
    }
    struct Source {
        const uint8_t* bytes;
        unsigned long size;
    } source{data_.data(), static_cast<unsigned long>(data_.size())};
    Check(Guarded(
        session_.get(),
        [](Session* s, void* a) {
            const Source* src = static_cast<const Source*>(a);
            jpeg_mem_src(&s->info, src->bytes, src->size);
        },
        &source));
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
    Check(Guarded(
        s, [](Session* s, void*) { jpeg_create_decompress(&s->info); }, nullptr));
    s->info.mem->max_memory_to_use = MaxLibraryMemory;
    s->progress.progress_monitor = LimitScans;
    s->info.progress = &s->progress;
    s->requestBlocks = s->info.mem->request_virt_barray;
    s->accessBlocks = s->info.mem->access_virt_barray;
    if (file != nullptr) {
        file_ = file;
        fileStart_ = std::ftell(file);
        SetSource(false);
    }
}

JpegDecoder::~JpegDecoder()
{
    for (int c = 0; c < MAX_COMPONENTS; ++c)
        FreePackedRows(session_->packedRows[c], session_->packedRowCount[c]);
    jpeg_destroy_decompress(&session_->info);
}

void JpegDecoder::Check(bool succeeded) const
{
    if (!succeeded)
        throw EJPEG(Format(msg::JpegError, session_->errors.msg_code));
}

void JpegDecoder::ReadHeader(int displayBitsPerPixel)
{
    displayBitsPerPixel_ = displayBitsPerPixel;
    Session* s = session_.get();
    Check(Guarded(
        s,
        [](Session* s, void*) {
            jpeg_save_markers(&s->info, JPEG_APP0 + 1, 0xFFFF); // Exif, for the orientation
            jpeg_read_header(&s->info, TRUE);
        },
        nullptr));

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

int JpegDecoder::Width() const
{
    return int(session_->info.image_width);
}
int JpegDecoder::Height() const
{
    return int(session_->info.image_height);
}
int JpegDecoder::BitsPerPixel() const
{
    return session_->quantised ? 8 : 24;
}
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

int JpegDecoder::Orientation() const
{
    for (jpeg_saved_marker_ptr marker = session_->info.marker_list; marker != nullptr; marker = marker->next)
        if (marker->marker == JPEG_APP0 + 1)
            if (const int orientation = ExifOrientation(std::span(marker->data, marker->data_length)); orientation != 1)
                return orientation;
    return 1;
}

bool JpegDecoder::CanSkipRows() const
{
    return !session_->quantised;
}

void JpegDecoder::KeepOnlySamples(const std::vector<int>& rows, const std::vector<int>& columns)
{
    Session* s = session_.get();
    jpeg_decompress_struct& info = s->info;
    if (!VORLANE_NARROW_IDCT || s->quantised || !info.progressive_mode || rows.empty() || columns.empty())
        return;
    keptRows_ = rows;
    keptColumns_ = columns;
    s->keptRows = keptRows_.data();
    s->keptRowCount = keptRows_.size();
    s->keptColumns = keptColumns_.data();
    s->keptColumnCount = keptColumns_.size();
    s->requestBlocks = info.mem->request_virt_barray;
    s->accessBlocks = info.mem->access_virt_barray;
    info.mem->request_virt_barray = RequestSparseBlocks;
    info.mem->access_virt_barray = AccessSparseBlocks;
}

void JpegDecoder::Start()
{
    Session* s = session_.get();
    const Step start = [](Session* s, void*) { jpeg_start_decompress(&s->info); };
    if (Guarded(s, start, nullptr))
        return;
    if (!s->historyLost)
        Check(false);
    // A refinement came for coefficients whose bits were let go (a file libjpeg decodes after a
    // warning): the picture is decoded again from its start, in libjpeg's own whole arrays.
    Check(Guarded(
        s, [](Session* s, void*) { jpeg_abort_decompress(&s->info); }, nullptr));
    for (int c = 0; c < MAX_COMPONENTS; ++c) {
        FreePackedRows(s->packedRows[c], s->packedRowCount[c]);
        s->packedRows[c] = nullptr;
        s->packedRowCount[c] = 0;
        s->sparse[c] = nullptr;
    }
    s->sparseCount = 0;
    s->historyLost = false;
    s->info.mem->request_virt_barray = s->requestBlocks;
    s->info.mem->access_virt_barray = s->accessBlocks;
    SetSource(true);
    ReadHeader(displayBitsPerPixel_);
    Check(Guarded(s, start, nullptr));
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
    Check(Guarded(
        session_.get(),
        [](Session* s, void* r) {
            JSAMPROW rows[1] = {static_cast<JSAMPROW>(r)};
            jpeg_read_scanlines(&s->info, rows, 1);
        },
        row));
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
    // The upsampler makes max_v_samp_factor rows at a time. libjpeg (2.1) skips within an iMCU row by
    // whole groups counted from where it stands, as if none of the current group were still waiting to
    // be read; when one is, every row after the skip comes out shifted by it. So the rest of the current
    // group is skipped on its own first, which libjpeg does by reading it, and then whole groups.
    const JDIMENSION group = JDIMENSION(std::max(session_->info.max_v_samp_factor, 1));
    const JDIMENSION intoGroup = session_->info.output_scanline % group;
    JDIMENSION parts[2] = {intoGroup == 0 ? 0 : std::min(JDIMENSION(count), group - intoGroup), 0};
    parts[1] = JDIMENSION(count) - parts[0];
    Check(Guarded(
        session_.get(),
        [](Session* s, void* n) {
            for (const JDIMENSION lines : *static_cast<JDIMENSION(*)[2]>(n))
                if (lines > 0)
                    jpeg_skip_scanlines(&s->info, lines);
        },
        &parts));
}

int JpegDecoder::NextRow() const
{
    return int(session_->info.output_scanline);
}

void JpegDecoder::Finish()
{
    Check(Guarded(
        session_.get(), [](Session* s, void*) { jpeg_finish_decompress(&s->info); }, nullptr));
}

} // namespace vorlane
