#include "image/Jpeg.h"

#include "image/JpegDecoder.h"
#include "image/Orientation.h"

namespace vorlane {
namespace {

Bitmap DecodeAll(JpegDecoder& decoder, int displayBitsPerPixel)
{
    decoder.ReadHeader(displayBitsPerPixel);
    decoder.Start();
    Bitmap picture(decoder.Width(), decoder.Height(), decoder.BitsPerPixel());
    if (picture.BitsPerPixel() == 8)
        picture.Palette() = decoder.Palette();
    // The decoder's rows are laid out as the bitmap's (B, G, R bytes or colour indices).
    for (int y = 0; y < picture.Height(); ++y)
        decoder.ReadRow(picture.Row(y));
    decoder.Finish();
    return picture;
}

} // namespace

Bitmap DecodeJpeg(std::span<const uint8_t> data, int displayBitsPerPixel)
{
    JpegDecoder decoder(data);
    return DecodeAll(decoder, displayBitsPerPixel);
}

Bitmap DecodeJpegFile(const std::string& path, int displayBitsPerPixel)
{
    // libjpeg takes the file a buffer at a time: the same bytes in the same order as a copy of the whole
    // file would give it, without holding the file beside the picture.
    const auto file = OpenPictureFile(path);
    JpegDecoder decoder(file.get());
    return DecodeAll(decoder, displayBitsPerPixel);
}

Bitmap DecodeUprightJpegFile(const std::string& path, int displayBitsPerPixel)
{
    const auto file = OpenPictureFile(path);
    JpegDecoder decoder(file.get());
    const Bitmap stored = DecodeAll(decoder, displayBitsPerPixel);
    return Oriented(stored, decoder.Orientation());
}

} // namespace vorlane
