// An image list: equal-sized images (32x32 in this program), each with a 1-bit transparency mask,
// addressed from 0. It is also a component, so it travels in the component stream ("TImageList" with
// "Height", "Width" and the "Bitmap" record holding the image-list data).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "component/Component.h"
#include "gallery/ImageListImages.h"
#include "image/Bitmap.h"

namespace vorlane {

class ImageListDataSource;

// Colour values of the BkColor and BlendColor properties: no colour, and the list's default one.
inline constexpr int32_t clNone = 0x1FFFFFFF;
inline constexpr int32_t clDefault = 0x20000000;

class TImageList : public TComponent {
public:
    // Images are held at this depth unless told otherwise; thumbnails are made at 24 bits per pixel.
    static constexpr int DefaultBitsPerPixel = 24;
    static constexpr int DefaultAllocBy = 4; // growth step of the capacity
    // Four images side by side must still make a bitmap (Bitmap::MaxSide).
    static constexpr int MaxImageSide = Bitmap::MaxSide / 4;

    enum TDrawingStyle : int32_t { dsFocus = 0, dsSelected = 1, dsNormal = 2, dsTransparent = 3 };
    enum TImageType : int32_t { itImage = 0, itMask = 1 };

    explicit TImageList(TComponent* owner = nullptr, int width = 16, int height = 16);
    std::string ClassName() const override { return "TImageList"; }

    int Width() const { return content_.width; }
    int Height() const { return content_.height; }
    // Empties the list when the size changes. Sides of 1 to MaxImageSide; otherwise EInvalidGraphic
    // "ビットマップイメージが不正です".
    void SetSize(int width, int height);
    int BitsPerPixel() const { return content_.bitsPerPixel; } // 16, 24 or 32
    // Converts the images held; another depth gives EInvalidGraphic.
    void SetBitsPerPixel(int bitsPerPixel);

    int Count() const { return content_.Count(); }
    // Room for images before the next growth step (>= Count); grows by AllocBy when full.
    int Capacity() const { return content_.capacity; }
    void SetCapacity(int capacity); // never below Count
    int AllocBy() const { return content_.allocBy; }

    // Adds an image with a mask: a 1-bit bitmap of the same size where bit 1 marks a transparent pixel
    // (unless its colour table makes colour 0 the light one: then the light pixels are transparent);
    // no mask = fully opaque. The image is converted to the list's depth and made black under its
    // transparent pixels. An image or mask of another size than the list's, or a mask that is not
    // 1-bit, gives EInvalidGraphic. Returns the new image's index.
    int Add(const Bitmap& image, const Bitmap* mask = nullptr);
    // Inserts before `index` (0..Count); EInvalidOperation "不正なインデックスがイメージ リストに渡されました"
    // otherwise.
    void Insert(int index, const Bitmap& image, const Bitmap* mask = nullptr);
    void Delete(int index);
    void Clear();
    // Becomes a copy of `other`: images, masks, size, depth, capacity and the published settings (not
    // the name, the tag or the OnChange handler).
    void Assign(const TImageList& other);

    // Copies of image `index` at the list's depth, and of its mask (1 = transparent).
    Bitmap Image(int index) const;
    Bitmap Mask(int index) const;
    // Draws image `index` onto `target` at (x, y) through its mask: transparent pixels leave the target.
    // Pixels outside the target are clipped.
    void Draw(Bitmap& target, int x, int y, int index) const;

    // The image-list data of all images (the "Bitmap" record's value), and its reverse. A failed read
    // leaves the list empty.
    std::vector<uint8_t> WriteData() const;
    void ReadData(std::span<const uint8_t> data);

    // The whole content as one value, and taking over such a value (the size, depth and images it holds;
    // the capacity at least its count).
    const ImageListImages& Content() const { return content_; }
    void Adopt(ImageListImages content);

    int32_t BkColor() const { return bkColor_; }
    void SetBkColor(int32_t colour) { bkColor_ = colour; }

    std::vector<PublishedProperty> PublishedProperties() override;
    // The "Bitmap" record: the image-list data, written when the list holds at least one image.
    void WriteExtraRecords(ComponentWriter& writer) override;
    bool ReadExtraRecord(const std::string& name, ComponentReader& reader) override;

private:
    void CheckIndex(int index, int count) const;
    void ReadData(ImageListDataSource& data);

    ImageListImages content_;
    int32_t blendColor_ = clNone;
    int32_t bkColor_ = clNone;
    int32_t drawingStyle_ = dsNormal;
    int32_t imageType_ = itImage;
    bool masked_ = true;
    bool shareImages_ = false;
    std::string onChange_;
};

} // namespace vorlane
