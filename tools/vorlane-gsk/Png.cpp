#include "tools/vorlane-gsk/Png.h"

#include <cstdio>
#include <memory>
#include <zlib.h>

#include "platform/Exceptions.h"

namespace vorlane::gsk {
namespace {

// PNG numbers are big-endian, unlike every other format of the program.
void PutU32BE(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v >> 24));
    out.push_back(uint8_t(v >> 16));
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

void PutChunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data)
{
    PutU32BE(out, static_cast<uint32_t>(data.size()));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    // The CRC covers the type and the data, not the length.
    const uLong crc = ::crc32(::crc32(0L, Z_NULL, 0), out.data() + typeAt, static_cast<uInt>(4 + data.size()));
    PutU32BE(out, static_cast<uint32_t>(crc));
}

} // namespace

std::vector<uint8_t> EncodePng(const RgbaPicture& picture)
{
    const size_t rowBytes = size_t(picture.width) * 4;
    if (picture.width <= 0 || picture.height <= 0 || picture.pixels.size() != rowBytes * size_t(picture.height))
        throw EInvalidGraphic(msg::InvalidGraphic);

    // Each row is preceded by its filter type; 0 (none) keeps the writer simple and the sheets are small.
    std::vector<uint8_t> raw;
    raw.reserve((rowBytes + 1) * size_t(picture.height));
    for (int y = 0; y < picture.height; ++y) {
        raw.push_back(0);
        const auto row = picture.pixels.begin() + ptrdiff_t(rowBytes * size_t(y));
        raw.insert(raw.end(), row, row + ptrdiff_t(rowBytes));
    }
    uLongf packedSize = ::compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (::compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw EWriteError(msg::WriteError);
    packed.resize(packedSize);

    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutU32BE(header, static_cast<uint32_t>(picture.width));
    PutU32BE(header, static_cast<uint32_t>(picture.height));
    header.push_back(8); // bits per channel
    header.push_back(6); // colour type: RGBA
    header.push_back(0); // compression: deflate
    header.push_back(0); // filter method
    header.push_back(0); // no interlace
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", packed);
    PutChunk(out, "IEND", {});
    return out;
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file)
        throw EFCreateError(Format(msg::FCreateError, path.c_str()));
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() || std::fflush(file.get()) != 0)
        throw EWriteError(msg::WriteError);
}

} // namespace vorlane::gsk
