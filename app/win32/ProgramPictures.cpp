#include "app/win32/ProgramPictures.h"

#include <windows.h>

#include <span>

#include "app/win32/Resources.h"
#include "gallery/ImageList.h"
#include "image/BmpFile.h"
#include "platform/Exceptions.h"

namespace vorlane {
namespace {

std::span<const uint8_t> Resource(int id)
{
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10)); // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        throw EInvalidGraphic(msg::InvalidGraphic);
    return {static_cast<const uint8_t*>(bytes), SizeofResource(nullptr, found)};
}

// Cuts a strip of pictures, side by side, into the list's images.
void AddStrip(TImageList& list, int pictureId, int maskId)
{
    const Bitmap strip = ReadBmp(Resource(pictureId));
    const Bitmap masks = ReadBmp(Resource(maskId));
    const int width = list.Width(), height = list.Height();
    if (strip.Height() != height || masks.Width() != strip.Width() || masks.Height() != height ||
        masks.BitsPerPixel() != 1)
        throw EInvalidGraphic(msg::InvalidGraphic);
    for (int left = 0; left + width <= strip.Width(); left += width) {
        Bitmap image(width, height, 24);
        Bitmap mask(width, height, 1);
        mask.Palette() = masks.Palette();
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                image.SetPixelRgb(x, y, strip.PixelRgb(left + x, y));
                mask.SetPixelValue(x, y, masks.PixelValue(left + x, y));
            }
        list.Add(image, &mask);
    }
}

} // namespace

void AddPlaceholderPicture(TImageList& list)
{
    AddStrip(list, IDR_PLACEHOLDER, IDR_PLACEHOLDER_MASK);
}

void AddButtonPictures(TImageList& list)
{
    AddStrip(list, IDR_FLOWERS, IDR_FLOWERS_MASK);
}

} // namespace vorlane
