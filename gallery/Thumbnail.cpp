#include "gallery/Thumbnail.h"

#include "image/BmpFile.h"
#include "gallery/ImageList.h"
#include "image/BmpThumbnail.h"
#include "image/JpegDecoder.h"
#include "image/JpegThumbnail.h"
#include "image/PictureDecoder.h"
#include "image/Stretch.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace vorlane {
namespace {

constexpr Rgb White = MakeRgb(255, 255, 255);

// A folder is no picture file; anything else that is there counts as one (and fails if it cannot be read).
bool PictureFileExists(const std::string& file)
{
    const files::Kind kind = files::KindOf(file);
    return kind != files::Kind::None && kind != files::Kind::Folder;
}

} // namespace

Bitmap MakeThumbnail(const std::string& file, const TImageList& images, int displayBitsPerPixel)
{
    if (!PictureFileExists(file)) {
        Bitmap thumbnail(ThumbnailSize, ThumbnailSize, ThumbnailBitsPerPixel);
        thumbnail.Fill(White);
        if (images.Count() > 0)
            images.Draw(thumbnail, 0, 0, 0);
        return thumbnail;
    }

    if (path::AsciiLowerCase(path::ExtractFileExt(file)) == ".bmp")
        return StretchBmpFile(file, ThumbnailSize, ThumbnailSize, displayBitsPerPixel);

    // A file that starts as a picture of another format is read by its decoder, transparent parts over
    // white; every other file is taken as JPEG, decoded as it streams from the file.
    const auto stream = OpenPictureFile(file);
    if (const PictureFormat* format = RecognisePicture(stream.get())) {
        const auto decoder = format->Open(stream.get(), PictureFileBytes(stream.get(), file), MaxPicturePixels);
        return StretchPicture(*decoder, ThumbnailSize, ThumbnailSize, displayBitsPerPixel, White);
    }
    JpegDecoder decoder(stream.get());
    return StretchJpeg(decoder, ThumbnailSize, ThumbnailSize, displayBitsPerPixel, true);
}

} // namespace vorlane
