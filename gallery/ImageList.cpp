#include "gallery/ImageList.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "component/ComponentReader.h"
#include "component/ComponentWriter.h"
#include "gallery/ImageListData.h"
#include "platform/Exceptions.h"

namespace vorlane {
namespace {

[[noreturn]] void InvalidGraphic()
{
    throw EInvalidGraphic(msg::InvalidGraphic);
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
    return {{"clBlack", 0x000000},  {"clMaroon", 0x000080},  {"clGreen", 0x008000}, {"clOlive", 0x008080},
            {"clNavy", 0x800000},   {"clPurple", 0x800080},  {"clTeal", 0x808000},  {"clGray", 0x808080},
            {"clSilver", 0xC0C0C0}, {"clRed", 0x0000FF},     {"clLime", 0x00FF00},  {"clYellow", 0x00FFFF},
            {"clBlue", 0xFF0000},   {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},  {"clWhite", 0xFFFFFF},
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

TImageList::TImageList(TComponent* owner, int width, int height) : TComponent(owner)
{
    content_.bitsPerPixel = DefaultBitsPerPixel;
    content_.allocBy = DefaultAllocBy;
    SetSize(width, height);
}

void TImageList::SetSize(int width, int height)
{
    if (width < 1 || height < 1 || width > MaxImageSide || height > MaxImageSide)
        InvalidGraphic();
    if (width == content_.width && height == content_.height)
        return;
    Clear(); // before the size changes, so the blocks never hold images of another size
    content_.width = width;
    content_.height = height;
}

void TImageList::SetBitsPerPixel(int bitsPerPixel)
{
    if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32)
        InvalidGraphic();
    if (bitsPerPixel == content_.bitsPerPixel)
        return;
    ImageListImages converted = content_; // the masks and the settings
    converted.bitsPerPixel = bitsPerPixel;
    converted.pixels = BottomUpRows();
    converted.pixels.MakeRoom(0, converted.PictureBytes());
    converted.pixels.Resize(0, converted.PictureBytes());
    converted.ClearUnusedTiles();
    for (int k = 0; k < Count(); ++k) {
        const Bitmap image = content_.Image(k).ConvertedTo(bitsPerPixel);
        for (int y = 0; y < Height(); ++y)
            std::memcpy(converted.ImageRow(k, y), image.Row(y), converted.TileBytes());
    }
    converted.colourUnderMasks = false; // the images were made black where transparent
    content_ = std::move(converted);
}

void TImageList::SetCapacity(int capacity)
{
    content_.capacity = std::max(capacity, Count());
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
    if (image.Width() != Width() || image.Height() != Height())
        InvalidGraphic();
    if (mask && (mask->Width() != Width() || mask->Height() != Height() || mask->BitsPerPixel() != 1))
        InvalidGraphic();
    Bitmap held = image.ConvertedTo(BitsPerPixel());
    const Bitmap heldMask = mask ? NormalizedMask(*mask) : NormalizedMask(Bitmap(Width(), Height(), 1));
    for (int y = 0; y < Height(); ++y)
        BlackenTransparentRow(held.Row(y), heldMask.Row(y), Width(), BitsPerPixel() / 8);
    // Room first, so that nothing can fail once the images have started to move.
    const int count = Count();
    content_.Resize(count + 1);
    content_.MoveUpFrom(index);
    for (int y = 0; y < Height(); ++y) {
        std::memcpy(content_.ImageRow(index, y), held.Row(y), content_.TileBytes());
        content_.SetMaskRow(index, y, heldMask.Row(y));
    }
    while (content_.capacity < Count())
        content_.capacity += std::max(content_.allocBy, 1);
}

void TImageList::Delete(int index)
{
    CheckIndex(index, Count());
    content_.MoveDownOnto(index);
    content_.Resize(Count() - 1);
}

void TImageList::Clear()
{
    content_.Resize(0);
    content_.capacity = 0;
    content_.colourUnderMasks = false;
}

void TImageList::Assign(const TImageList& other)
{
    if (&other == this)
        return;
    content_ = other.content_;
    blendColor_ = other.blendColor_;
    bkColor_ = other.bkColor_;
    drawingStyle_ = other.drawingStyle_;
    imageType_ = other.imageType_;
    masked_ = other.masked_;
    shareImages_ = other.shareImages_;
}

void TImageList::Adopt(ImageListImages content)
{
    content.capacity = std::max(content.capacity, content.Count());
    content_ = std::move(content);
}

Bitmap TImageList::Image(int index) const
{
    CheckIndex(index, Count());
    return content_.Image(index);
}

Bitmap TImageList::Mask(int index) const
{
    CheckIndex(index, Count());
    return content_.Mask(index);
}

void TImageList::Draw(Bitmap& target, int x, int y, int index) const
{
    CheckIndex(index, Count());
    const int width = Width(), height = Height(), depth = BitsPerPixel();
    const int x0 = std::max(0, -x), x1 = std::min(width, target.Width() - x);
    const int y0 = std::max(0, -y), y1 = std::min(height, target.Height() - y);
    if (x0 >= x1 || y0 >= y1)
        return;
    const bool sameDepth = target.BitsPerPixel() == depth;
    const size_t pixelBytes = size_t(depth / 8);
    const Bitmap image = sameDepth ? Bitmap() : content_.Image(index);
    std::vector<Rgb> colours(static_cast<size_t>(width));
    std::vector<uint8_t> bits((size_t(width) + 7) / 8);
    for (int sy = y0; sy < y1; ++sy) {
        content_.GetMaskRow(index, sy, bits.data());
        const uint8_t* src = content_.ImageRow(index, sy);
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
    return WriteImageListData(content_);
}

void TImageList::ReadData(std::span<const uint8_t> data)
{
    ImageListDataSource source(data);
    ReadData(source);
}

// The list is emptied first; a failed read leaves it so.
void TImageList::ReadData(ImageListDataSource& data)
{
    Clear();
    Adopt(ReadImageListData(data, content_));
}

// The "Bitmap" record: raw data holding the image-list data, passed between the stream and the images a
// piece at a time (the byte count, which comes first, is known before the data is formed).
void TImageList::WriteExtraRecords(ComponentWriter& writer)
{
    TComponent::WriteExtraRecords(writer);
    if (Count() == 0)
        return;
    const size_t size = ImageListDataSize(content_);
    if (size > UINT32_MAX)
        throw EWriteError(msg::WriteError);
    writer.WriteRecordName("Bitmap");
    writer.WriteByte(uint8_t(ValueTag::Binary));
    const uint8_t count[4] = {uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24)};
    writer.Write(count, 4);
    WriteImageListData(content_, [&](std::span<const uint8_t> piece) { writer.Write(piece.data(), piece.size()); });
}

bool TImageList::ReadExtraRecord(const std::string& name, ComponentReader& reader)
{
    if (!SameName(name, "Bitmap"))
        return TComponent::ReadExtraRecord(name, reader);
    if (reader.ReadValue() != ValueTag::Binary)
        throw EReadError(msg::InvalidPropertyValue);
    uint8_t count[4];
    reader.Read(count, 4);
    const uint32_t size =
        uint32_t(count[0]) | (uint32_t(count[1]) << 8) | (uint32_t(count[2]) << 16) | (uint32_t(count[3]) << 24);
    // A count is checked against what the stream still holds before anything is read or allocated.
    if (size > reader.Remaining())
        throw EReadError(msg::ReadError);
    ImageListDataSource data(size, [&reader](uint8_t* out, size_t n) { reader.Read(out, n); });
    ReadData(data);
    data.Skip(data.Remaining()); // what follows the masks (the tail) belongs to the record
    return true;
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
        p.getInteger = [this] { return content_.allocBy; };
        p.setInteger = [this](int32_t value) { content_.allocBy = std::max<int32_t>(value, 1); };
        properties.push_back(std::move(p));
    }
    enumeration("DrawingStyle", dsNormal, {"dsFocus", "dsSelected", "dsNormal", "dsTransparent"}, &drawingStyle_);
    {
        PublishedProperty p;
        p.name = "Height";
        p.kind = PropertyKind::Integer;
        p.defaultValue = 16;
        p.getInteger = [this] { return Height(); };
        p.setInteger = [this](int32_t value) { SetSize(Width(), StoredSide(value)); };
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
        p.getInteger = [this] { return Width(); };
        p.setInteger = [this](int32_t value) { SetSize(StoredSide(value), Height()); };
        properties.push_back(std::move(p));
    }
    return properties;
}

} // namespace vorlane
