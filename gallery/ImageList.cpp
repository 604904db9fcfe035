#include "gallery/ImageList.h"

#include <algorithm>
#include <cstring>

#include "component/ComponentReader.h"
#include "gallery/ImageListData.h"
#include "platform/Exceptions.h"

namespace vorlane {
namespace {

[[noreturn]] void InvalidGraphic()
{
    throw EInvalidGraphic(msg::InvalidGraphic);
}

bool Light(Rgb c)
{
    return int(RedOf(c)) + GreenOf(c) + BlueOf(c) >= 384;
}

bool Light(const RgbQuad& q)
{
    return int(q.red) + q.green + q.blue >= 384;
}

// The palette index nearest to `colour`, for drawing onto a colour-table bitmap.
uint32_t NearestIndex(const std::vector<RgbQuad>& palette, Rgb colour)
{
    uint32_t best = 0;
    int bestDistance = INT32_MAX;
    for (size_t i = 0; i < palette.size(); ++i) {
        const int dr = int(palette[i].red) - RedOf(colour);
        const int dg = int(palette[i].green) - GreenOf(colour);
        const int db = int(palette[i].blue) - BlueOf(colour);
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = uint32_t(i);
        }
    }
    return best;
}

// The named colours a colour property may hold in a stream (0x00BBGGRR values).
std::vector<std::pair<std::string, int32_t>> ColourConstants()
{
    return {{"clBlack", 0x000000},  {"clMaroon", 0x000080}, {"clGreen", 0x008000},   {"clOlive", 0x008080},
            {"clNavy", 0x800000},   {"clPurple", 0x800080}, {"clTeal", 0x808000},    {"clGray", 0x808080},
            {"clSilver", 0xC0C0C0}, {"clRed", 0x0000FF},    {"clLime", 0x00FF00},    {"clYellow", 0x00FFFF},
            {"clBlue", 0xFF0000},   {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},   {"clWhite", 0xFFFFFF},
            {"clNone", clNone},     {"clDefault", clDefault}};
}

// A stored "Width" or "Height" that no image list can have is a bad property value.
int StoredSide(int32_t value)
{
    if (value < 1 || value > TImageList::MaxImageSide)
        throw EReadError(msg::InvalidPropertyValue);
    return value;
}

} // namespace

bool MaskTableInverted(const std::vector<RgbQuad>& palette)
{
    // A table of two equal colours (a fresh 1-bit picture's, say) leaves the bits as they are.
    return !palette.empty() && Light(palette[0]) && !(palette.size() > 1 && Light(palette[1]));
}

Bitmap NormalizedMask(const Bitmap& mask)
{
    Bitmap result(mask.Width(), mask.Height(), 1);
    result.Palette() = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};
    if (mask.BitsPerPixel() == 1) {
        const bool inverted = MaskTableInverted(mask.Palette());
        const size_t usedBytes = (size_t(mask.Width()) + 7) / 8;
        const int tailBits = mask.Width() % 8;
        const uint8_t lastMask = tailBits ? uint8_t(0xFF << (8 - tailBits)) : 0xFF;
        for (int y = 0; y < mask.Height(); ++y) {
            const uint8_t* src = mask.Row(y);
            uint8_t* dst = result.Row(y);
            for (size_t i = 0; i < usedBytes; ++i) {
                const uint8_t b = inverted ? uint8_t(~src[i]) : src[i];
                dst[i] = i + 1 == usedBytes ? uint8_t(b & lastMask) : b;
            }
        }
        return result;
    }
    std::vector<Rgb> colours(static_cast<size_t>(mask.Width()));
    for (int y = 0; y < mask.Height(); ++y) {
        if (mask.BitsPerPixel() >= 16) {
            mask.RowRgb(y, colours.data());
        } else {
            for (int x = 0; x < mask.Width(); ++x)
                colours[size_t(x)] = mask.PixelRgb(x, y);
        }
        for (int x = 0; x < mask.Width(); ++x)
            if (Light(colours[size_t(x)]))
                result.SetPixelValue(x, y, 1);
    }
    return result;
}

void BlackenTransparent(Bitmap& image, const Bitmap& mask)
{
    const size_t pixelBytes = size_t(image.BitsPerPixel() / 8);
    const size_t maskBytes = (size_t(mask.Width()) + 7) / 8;
    for (int y = 0; y < image.Height(); ++y) {
        const uint8_t* bits = mask.Row(y);
        uint8_t* row = image.Row(y);
        for (size_t i = 0; i < maskBytes; ++i) {
            if (bits[i] == 0)
                continue;
            for (int b = 0; b < 8; ++b) {
                const size_t x = i * 8 + size_t(b);
                if (x < size_t(image.Width()) && (bits[i] & (0x80 >> b)))
                    std::memset(row + x * pixelBytes, 0, pixelBytes);
            }
        }
    }
}

TImageList::TImageList(TComponent* owner, int width, int height) : TComponent(owner), width_(16), height_(16)
{
    SetSize(width, height);
}

void TImageList::SetSize(int width, int height)
{
    if (width < 1 || height < 1 || width > MaxImageSide || height > MaxImageSide)
        InvalidGraphic();
    if (width == width_ && height == height_)
        return;
    width_ = width;
    height_ = height;
    Clear();
}

void TImageList::SetBitsPerPixel(int bitsPerPixel)
{
    if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32)
        InvalidGraphic();
    if (bitsPerPixel == bitsPerPixel_)
        return;
    std::vector<Bitmap> converted;
    converted.reserve(images_.size());
    for (const Bitmap& image : images_)
        converted.push_back(image.ConvertedTo(bitsPerPixel));
    images_ = std::move(converted);
    bitsPerPixel_ = bitsPerPixel;
}

void TImageList::SetCapacity(int capacity)
{
    capacity_ = std::max(capacity, Count());
}

void TImageList::CheckIndex(int index, int count) const
{
    if (index < 0 || index >= count)
        throw EInvalidOperation(msg::ImageListInvalidIndex);
}

int TImageList::Add(const Bitmap& image, const Bitmap* mask)
{
    const int index = Count();
    Insert(index, image, mask);
    return index;
}

void TImageList::Insert(int index, const Bitmap& image, const Bitmap* mask)
{
    CheckIndex(index, Count() + 1);
    if (image.Width() != width_ || image.Height() != height_)
        InvalidGraphic();
    if (mask && (mask->Width() != width_ || mask->Height() != height_ || mask->BitsPerPixel() != 1))
        InvalidGraphic();
    Bitmap held = image.ConvertedTo(bitsPerPixel_);
    Bitmap heldMask = mask ? NormalizedMask(*mask) : NormalizedMask(Bitmap(width_, height_, 1));
    BlackenTransparent(held, heldMask);
    images_.insert(images_.begin() + index, std::move(held));
    masks_.insert(masks_.begin() + index, std::move(heldMask));
    while (capacity_ < Count())
        capacity_ += std::max(allocBy_, 1);
}

void TImageList::Delete(int index)
{
    CheckIndex(index, Count());
    images_.erase(images_.begin() + index);
    masks_.erase(masks_.begin() + index);
}

void TImageList::Clear()
{
    images_.clear();
    masks_.clear();
    capacity_ = 0;
}

void TImageList::Assign(const TImageList& other)
{
    if (&other == this)
        return;
    width_ = other.width_;
    height_ = other.height_;
    bitsPerPixel_ = other.bitsPerPixel_;
    capacity_ = other.capacity_;
    allocBy_ = other.allocBy_;
    blendColor_ = other.blendColor_;
    bkColor_ = other.bkColor_;
    drawingStyle_ = other.drawingStyle_;
    imageType_ = other.imageType_;
    masked_ = other.masked_;
    shareImages_ = other.shareImages_;
    images_ = other.images_;
    masks_ = other.masks_;
}

void TImageList::Adopt(int width, int height, int bitsPerPixel, int capacity, std::vector<Bitmap> images,
                       std::vector<Bitmap> masks)
{
    width_ = width;
    height_ = height;
    bitsPerPixel_ = bitsPerPixel;
    images_ = std::move(images);
    masks_ = std::move(masks);
    capacity_ = std::max(capacity, Count());
}

const Bitmap& TImageList::Image(int index) const
{
    CheckIndex(index, Count());
    return images_[size_t(index)];
}

const Bitmap& TImageList::Mask(int index) const
{
    CheckIndex(index, Count());
    return masks_[size_t(index)];
}

void TImageList::Draw(Bitmap& target, int x, int y, int index) const
{
    CheckIndex(index, Count());
    const Bitmap& image = images_[size_t(index)];
    const Bitmap& mask = masks_[size_t(index)];
    const int x0 = std::max(0, -x), x1 = std::min(width_, target.Width() - x);
    const int y0 = std::max(0, -y), y1 = std::min(height_, target.Height() - y);
    if (x0 >= x1 || y0 >= y1)
        return;
    const bool sameDepth = target.BitsPerPixel() == bitsPerPixel_;
    const size_t pixelBytes = size_t(bitsPerPixel_ / 8);
    std::vector<Rgb> colours(static_cast<size_t>(width_));
    for (int sy = y0; sy < y1; ++sy) {
        const uint8_t* bits = mask.Row(sy);
        const uint8_t* src = image.Row(sy);
        uint8_t* dst = target.Row(y + sy);
        if (!sameDepth)
            image.RowRgb(sy, colours.data());
        for (int sx = x0; sx < x1; ++sx) {
            if (bits[sx >> 3] & (0x80 >> (sx & 7)))
                continue; // transparent: the target shows through
            if (sameDepth)
                std::memcpy(dst + size_t(x + sx) * pixelBytes, src + size_t(sx) * pixelBytes, pixelBytes);
            else if (target.BitsPerPixel() >= 16)
                target.SetPixelRgb(x + sx, y + sy, colours[size_t(sx)]);
            else
                target.SetPixelValue(x + sx, y + sy, NearestIndex(target.Palette(), colours[size_t(sx)]));
        }
    }
}

std::vector<uint8_t> TImageList::WriteData() const
{
    return WriteImageListData(*this);
}

void TImageList::ReadData(std::span<const uint8_t> data)
{
    ReadImageListData(data, *this);
}

std::vector<PublishedProperty> TImageList::PublishedProperties()
{
    std::vector<PublishedProperty> properties = TComponent::PublishedProperties();

    auto colour = [&](const char* name, int32_t* field) {
        PublishedProperty p;
        p.name = name;
        p.kind = PropertyKind::Integer;
        p.defaultValue = clNone;
        p.constants = ColourConstants();
        p.getInteger = [field] { return *field; };
        p.setInteger = [field](int32_t value) { *field = value; };
        properties.push_back(std::move(p));
    };
    auto enumeration = [&](const char* name, int32_t defaultValue, std::vector<std::string> identifiers,
                           int32_t* field) {
        PublishedProperty p;
        p.name = name;
        p.kind = PropertyKind::Enumeration;
        p.defaultValue = defaultValue;
        p.identifiers = std::move(identifiers);
        p.getInteger = [field] { return *field; };
        p.setInteger = [field](int32_t value) { *field = value; };
        properties.push_back(std::move(p));
    };
    auto boolean = [&](const char* name, bool defaultValue, bool* field) {
        PublishedProperty p;
        p.name = name;
        p.kind = PropertyKind::Boolean;
        p.defaultValue = defaultValue ? 1 : 0;
        p.getInteger = [field] { return *field ? 1 : 0; };
        p.setInteger = [field](int32_t value) { *field = value != 0; };
        properties.push_back(std::move(p));
    };

    colour("BlendColor", &blendColor_);
    colour("BkColor", &bkColor_);
    {
        PublishedProperty p;
        p.name = "AllocBy";
        p.kind = PropertyKind::Integer;
        p.defaultValue = DefaultAllocBy;
        p.getInteger = [this] { return allocBy_; };
        p.setInteger = [this](int32_t value) { allocBy_ = std::max<int32_t>(value, 1); };
        properties.push_back(std::move(p));
    }
    enumeration("DrawingStyle", dsNormal, {"dsFocus", "dsSelected", "dsNormal", "dsTransparent"}, &drawingStyle_);
    {
        PublishedProperty p;
        p.name = "Height";
        p.kind = PropertyKind::Integer;
        p.defaultValue = 16;
        p.getInteger = [this] { return height_; };
        p.setInteger = [this](int32_t value) { SetSize(width_, StoredSide(value)); };
        properties.push_back(std::move(p));
    }
    enumeration("ImageType", itImage, {"itImage", "itMask"}, &imageType_);
    boolean("Masked", true, &masked_);
    {
        PublishedProperty p;
        p.name = "OnChange";
        p.kind = PropertyKind::Event;
        p.getString = [this] { return onChange_; };
        p.setString = [this](const std::string& method) { onChange_ = method; };
        properties.push_back(std::move(p));
    }
    boolean("ShareImages", false, &shareImages_);
    {
        PublishedProperty p;
        p.name = "Width";
        p.kind = PropertyKind::Integer;
        p.defaultValue = 16;
        p.getInteger = [this] { return width_; };
        p.setInteger = [this](int32_t value) { SetSize(StoredSide(value), height_); };
        properties.push_back(std::move(p));
    }
    return properties;
}

} // namespace vorlane
