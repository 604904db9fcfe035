#include "image/PictureDecoder.h"

#include "image/PictureFormatList.h"
#include "platform/Exceptions.h"

namespace vorlane {

std::span<const PictureFormat> PictureFormats()
{
#if VORLANE_PICTURE_FORMATS
    static const PictureFormat formats[] = {PngFormat, WebpFormat, GifFormat, AvifFormat};
    return formats;
#else
    return {};
#endif
}

void ThrowPictureError(const char* format, const std::string& what)
{
    throw EInvalidGraphic(std::string(format) + " エラー: " + what);
}

void CheckPictureSize(const char* format, uint64_t width, uint64_t height, uint64_t maxPixels)
{
    if (width > uint64_t(Bitmap::MaxSide) || height > uint64_t(Bitmap::MaxSide) || width * height > maxPixels ||
        width * height > MaxPicturePixels)
        ThrowPictureError(format, Format(msg::PictureTooBig, static_cast<unsigned long long>(width),
                                         static_cast<unsigned long long>(height)));
}

} // namespace vorlane
