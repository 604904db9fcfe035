#include "wallpaper/BitmapRows.h"

#include <algorithm>
#include <span>

#include "platform/Exceptions.h"
#include "platform/FileSystem.h"

namespace vorlane {
namespace {

struct Descriptor {
    int fd;
    ~Descriptor()
    {
        if (fd >= 0)
            files::CloseFile(fd);
    }
};

} // namespace

BitmapRows::BitmapRows(const std::string& path)
{
    const auto cannotOpen = [&] { return EFOpenError(Format(msg::FOpenError, path.c_str())); };
    const Descriptor file{files::OpenRegularFileToRead(path)};
    const int fd = file.fd;
    const std::optional<int64_t> fileSize = fd < 0 ? std::nullopt : files::RegularFileSize(fd);
    if (!fileSize)
        throw cannotOpen();
    // No valid bitmap is larger than its headers, a colour table and the largest picture's pixels.
    const size_t size = std::min<size_t>(size_t(*fileSize), Bitmap::MaxBytes + 4096);
    bytes_ = std::make_unique_for_overwrite<uint8_t[]>(size);
    size_t filled = 0;
    while (filled < size) {
        const int64_t n = files::ReadSome(fd, bytes_.get() + filled, size - filled);
        if (n < 0)
            throw cannotOpen();
        if (n == 0)
            break;
        filled += size_t(n);
    }
    const std::span<const uint8_t> data(bytes_.get(), filled);
    if (ViewBmpRows(data, view_))
        return;
    bytes_.reset();
    decoded_ = ReadBmp(data);
    view_ = BmpRowsView{decoded_.Width(), decoded_.Height(), decoded_.BitsPerPixel(), decoded_.Palette(),
                        decoded_.Row(0), ptrdiff_t(decoded_.Stride()), 0};
}

} // namespace vorlane
