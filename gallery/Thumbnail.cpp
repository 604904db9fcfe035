#include "gallery/Thumbnail.h"

#include "image/BmpFile.h"
#include "gallery/ImageList.h"
#include "image/JpegDecoder.h"
#include "image/JpegThumbnail.h"
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

    if (path::AsciiLowerCase(path::ExtractFileExt(file)) == ".bmp") {
        const Bitmap picture = ReadBmpFile(file);
        return Stretch(picture, ThumbnailSize, ThumbnailSize,
                       ChooseStretchMode(displayBitsPerPixel, picture.BitsPerPixel()));
    }

    // Every other file is taken as JPEG, decoded as it streams from the file.
    const auto stream = OpenPictureFile(file);
    JpegDecoder decoder(stream.get());
    return StretchJpeg(decoder, ThumbnailSize, ThumbnailSize, displayBitsPerPixel);
}

} // namespace vorlane
