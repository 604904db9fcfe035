#include "image/PictureDecoder.h"

#include "image/PictureFormatList.h"
#include "platform/Exceptions.h"

namespace vorlane {

std::span<const PictureFormat> PictureFormats()
{
#if VORLANE_PICTURE_FORMATS && VORLANE_AVIF
    static const PictureFormat formats[] = {PngFormat, WebpFormat, GifFormat, AvifFormat};
    return formats;
#elif VORLANE_PICTURE_FORMATS
    static const PictureFormat formats[] = {PngFormat, WebpFormat, GifFormat};
    return formats;
#else
    return {};
#endif
}

void ThrowPictureError(const char* format, const std::string& what)
{
    throw EInvalidGraphic(std::string(format) + " エラー: " + what);
}

std::vector<uint8_t> ReadPictureBytes(const char* format, std::FILE* file, uint64_t fileBytes)
{
    if (fileBytes > Bitmap::MaxBytes)
        ThrowPictureError(format, msg::PictureFileTooBig);
    std::vector<uint8_t> data(static_cast<size_t>(fileBytes));
    if (std::fread(data.data(), 1, data.size(), file) != data.size())
        ThrowPictureError(format, msg::PictureCutShort);
    return data;
}

void CheckPictureSize(const char* format, uint64_t width, uint64_t height, uint64_t maxPixels)
{
    if (width > uint64_t(Bitmap::MaxSide) || height > uint64_t(Bitmap::MaxSide) || width * height > maxPixels ||
        width * height > MaxPicturePixels)
        ThrowPictureError(format, Format(msg::PictureTooBig, static_cast<unsigned long long>(width),
                                         static_cast<unsigned long long>(height)));
}

} // namespace vorlane
