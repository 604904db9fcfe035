#include "app/win32/ImageListHandle.h"

#include <cstring>
#include <vector>

#include "gallery/ImageList.h"
#include "image/Bitmap.h"
#include "image/Stretch.h"
#include "platform/Exceptions.h"

namespace vorlane {
namespace {

struct BitmapDeleter {
    HBITMAP bitmap;
    ~BitmapDeleter()
    {
        if (bitmap)
            DeleteObject(bitmap);
    }
};

// A top-down 24-bit DIB section with the image's rows.
HBITMAP ColourBitmap(const Bitmap& image)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.Width();
    info.bmiHeader.biHeight = -image.Height(); // rows from the top, as Bitmap holds them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return nullptr;
    // DIB rows and Bitmap rows are both padded to 4 bytes.
    for (int y = 0; y < image.Height(); ++y)
        std::memcpy(static_cast<uint8_t*>(bits) + size_t(y) * image.Stride(), image.Row(y), image.Stride());
    GdiFlush();
    return bitmap;
}

// A monochrome device bitmap of the mask: bit 1 marks a transparent pixel, as the image list takes it.
HBITMAP MaskBitmap(const Bitmap& mask, int width, int height)
{
    const size_t stride = size_t((width + 15) / 16 * 2); // device bitmaps pad rows to 16 bits
    std::vector<uint8_t> rows(stride * size_t(height), 0);
    if (mask.Width() == width && mask.Height() == height)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (mask.PixelValue(x, y) != 0)
                    rows[size_t(y) * stride + size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
    return CreateBitmap(width, height, 1, 1, rows.data());
}

// The mask at `width` x `height`, each target pixel the source pixel under its centre.
Bitmap ScaledMask(const Bitmap& mask, int width, int height)
{
    if (mask.Width() == width && mask.Height() == height)
        return mask;
    Bitmap scaled(width, height, 1);
    scaled.Palette() = mask.Palette();
    if (mask.Width() > 0 && mask.Height() > 0)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                scaled.SetPixelValue(x, y,
                                     mask.PixelValue(NearestSourceIndex(x, mask.Width(), width),
                                                     NearestSourceIndex(y, mask.Height(), height)));
    return scaled;
}

} // namespace

ImageListHandle::ImageListHandle(const TImageList& list) : ImageListHandle(list, list.Width(), list.Height()) {}

ImageListHandle::ImageListHandle(const TImageList& list, int width, int height)
    : handle_(ImageList_Create(width, height, ILC_COLOR24 | ILC_MASK, list.Count(), TImageList::DefaultAllocBy))
{
    if (!handle_)
        throw EInvalidGraphic(msg::InvalidGraphic);
    const bool scaled = width != list.Width() || height != list.Height();
    for (int i = 0; i < list.Count(); ++i) {
        Bitmap image = list.Image(i);
        if (scaled)
            image = Stretch(image, width, height, StretchMode::ColorOnColor);
        const BitmapDeleter colour{ColourBitmap(image.BitsPerPixel() == 24 ? image : image.ConvertedTo(24))};
        const BitmapDeleter mask{MaskBitmap(scaled ? ScaledMask(list.Mask(i), width, height) : list.Mask(i), width,
                                            height)};
        if (!colour.bitmap || !mask.bitmap || ImageList_Add(handle_, colour.bitmap, mask.bitmap) < 0) {
            ImageList_Destroy(handle_);
            throw EInvalidGraphic(msg::InvalidGraphic);
        }
    }
}

ImageListHandle::~ImageListHandle()
{
    ImageList_Destroy(handle_);
}

} // namespace vorlane
