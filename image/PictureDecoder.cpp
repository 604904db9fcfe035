#include "image/PictureDecoder.h"

#include <vector>

#include "image/PictureFile.h"
#include "image/Stretch.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"

namespace vorlane {

const PictureFormat* RecognisePicture(std::FILE* file)
{
    uint8_t head[32] = {};
    const size_t got = std::fread(head, 1, sizeof head, file);
    std::rewind(file);
    for (const PictureFormat& format : PictureFormats())
        if (got >= format.signatureBytes && format.Matches(std::span(head, got)))
            return &format;
    return nullptr;
}

uint64_t PictureFileBytes(std::FILE* file, const std::string& path)
{
    const std::optional<int64_t> size = files::RegularFileSize(file);
    if (!size)
        throw EFOpenError(Format(msg::FOpenError, path.c_str()));
    return uint64_t(*size);
}

Bitmap StretchPicture(PictureDecoder& decoder, int width, int height, int displayBitsPerPixel, Rgb background)
{
    StretchAccumulator accumulator(decoder.Width(), decoder.Height(), width, height,
                                   ChooseStretchMode(displayBitsPerPixel, 24));
    std::vector<uint8_t> row(size_t(decoder.Width()) * 4);
    for (int y = 0; y < decoder.Height(); ++y) {
        if (!accumulator.NeedsRow(y)) {
            decoder.SkipRow();
            continue;
        }
        decoder.ReadRow(row.data());
        accumulator.AddRow(y, [&](int x) { return OverBackground(row.data() + 4 * size_t(x), background); });
    }
    decoder.Finish();
    return accumulator.Result();
}

Bitmap DecodePicture(PictureDecoder& decoder, Rgb background)
{
    Bitmap picture(decoder.Width(), decoder.Height(), 24);
    std::vector<uint8_t> row(size_t(decoder.Width()) * 4);
    for (int y = 0; y < picture.Height(); ++y) {
        decoder.ReadRow(row.data());
        uint8_t* out = picture.Row(y);
        for (int x = 0; x < picture.Width(); ++x) {
            const Rgb colour = OverBackground(row.data() + 4 * size_t(x), background);
            out[3 * x] = BlueOf(colour);
            out[3 * x + 1] = GreenOf(colour);
            out[3 * x + 2] = RedOf(colour);
        }
    }
    decoder.Finish();
    return picture;
}

Bitmap DecodeRecognisedPictureFile(const std::string& path, Rgb background)
{
    const auto file = OpenPictureFile(path);
    const PictureFormat* format = RecognisePicture(file.get());
    if (format == nullptr)
        return {};
    const auto decoder = format->Open(file.get(), PictureFileBytes(file.get(), path), MaxPicturePixels);
    return DecodePicture(*decoder, background);
}

} // namespace vorlane
