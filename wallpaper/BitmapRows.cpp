#include "wallpaper/BitmapRows.h"

#include <algorithm>
#include <climits>
#include <span>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/FileSystem.h"

namespace vorlane {
namespace {

// Rows are read a band at a time: few calls, and little memory beside the desktop's own.
constexpr size_t BandBytes = size_t(256) << 10;

// No valid bitmap is larger than its headers, a colour table and the largest picture's pixels; the
// rest of a longer file is never looked at, so every offset fits the C library's seek.
constexpr uint64_t MaxFileBytes = uint64_t(Bitmap::MaxBytes) + 4096;
static_assert(MaxFileBytes <= uint64_t(LONG_MAX));

// Fills `bytes` from `offset`; false when the file ends first. EFOpenError when it cannot be read.
bool ReadAt(std::FILE* file, const std::string& path, uint64_t offset, std::span<uint8_t> bytes)
{
    if (std::fseek(file, long(offset), SEEK_SET) != 0)
        throw EFOpenError(Format(msg::FOpenError, path.c_str()));
    const size_t read = std::fread(bytes.data(), 1, bytes.size(), file);
    if (read < bytes.size() && std::ferror(file))
        throw EFOpenError(Format(msg::FOpenError, path.c_str()));
    return read == bytes.size();
}

} // namespace

BitmapRows::BitmapRows(const std::string& path) : path_(path), file_(OpenPictureFile(path))
{
    const std::optional<int64_t> fileSize = files::RegularFileSize(file_.get());
    if (!fileSize)
        throw EFOpenError(Format(msg::FOpenError, path.c_str()));
    const uint64_t size = std::min<uint64_t>(uint64_t(*fileSize), MaxFileBytes);
    std::vector<uint8_t> head(size_t(std::min<uint64_t>(size, BmpHeadBytes)));
    if (!ReadAt(file_.get(), path_, 0, head))
        throw EInvalidGraphic(msg::InvalidGraphic); // shorter than it was a moment ago
    placed_ = LocateBmpRows(head, size, place_);
    if (!placed_)
        decoded_ = ReadBmpFile(path);
}

void BitmapRows::SendTo(PictureRows& to) const
{
    if (!placed_) {
        to.Begin(decoded_.Width(), decoded_.Height(), decoded_.BitsPerPixel(), decoded_.Palette());
        for (int y = 0; y < decoded_.Height(); ++y)
            to.Row(y, decoded_.Row(y));
        return;
    }
    const BmpRowsPlace& p = place_;
    to.Begin(p.width, p.height, p.bitsPerPixel, p.palette);
    const int bandRows = int(std::clamp<size_t>(BandBytes / p.stride, 1, size_t(p.height)));
    std::vector<uint8_t> band(size_t(bandRows) * p.stride);
    for (int y0 = 0; y0 < p.height; y0 += bandRows) {
        const int rows = std::min(bandRows, p.height - y0);
        // The band's rows lie together in the file; a bottom-up file stores the lowest of them first.
        const uint64_t start = p.RowOffset(p.topDown ? y0 : y0 + rows - 1);
        if (!ReadAt(file_.get(), path_, start, std::span(band.data(), size_t(rows) * p.stride)))
            throw EInvalidGraphic(msg::InvalidGraphic);
        for (int i = 0; i < rows; ++i)
            to.Row(y0 + i, band.data() + size_t(p.topDown ? i : rows - 1 - i) * p.stride);
    }
}

} // namespace vorlane
