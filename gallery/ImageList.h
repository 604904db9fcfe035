// An image list: equal-sized images (32x32 in this program), each with a 1-bit transparency mask,
// addressed from 0. It is also a component, so it travels in the component stream ("TImageList" with
// "Height", "Width" and the "Bitmap" record holding the image-list data).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "gallery/Bitmap.h"
#include "platform/Component.h"

namespace vorlane {

class TImageList : public TComponent {
public:
    // Images are held at this depth unless told otherwise; thumbnails are made at 24 bits per pixel.
    static constexpr int DefaultBitsPerPixel = 24;
    static constexpr int DefaultAllocBy = 4; // growth step of the capacity

    explicit TImageList(TComponent* owner = nullptr, int width = 16, int height = 16);
    std::string ClassName() const override { return "TImageList"; }

    int Width() const;
    int Height() const;
    void SetSize(int width, int height); // empties the list when the size changes
    int BitsPerPixel() const;            // 16, 24 or 32
    void SetBitsPerPixel(int bitsPerPixel);

    int Count() const;
    int Capacity() const; // room for images before the next growth step (a multiple of AllocBy, >= Count)

    // Adds an image (converted to the list's size check and depth) with a mask: a 1-bit bitmap of the
    // same size where 1 = transparent; no mask = fully opaque. Returns its index.
    int Add(const Bitmap& image, const Bitmap* mask = nullptr);
    // Inserts before `index` (0..Count); EInvalidOperation "不正なインデックスがイメージ リストに渡されました" otherwise.
    void Insert(int index, const Bitmap& image, const Bitmap* mask = nullptr);
    void Delete(int index);
    void Clear();
    // Becomes a copy of `other`: images, masks, size and depth.
    void Assign(const TImageList& other);

    // Image `index` at the list's depth, and its mask (1 = transparent).
    const Bitmap& Image(int index) const;
    const Bitmap& Mask(int index) const;
    // Draws image `index` onto `target` at (x, y) through its mask: transparent pixels leave the target.
    void Draw(Bitmap& target, int x, int y, int index) const;

    // The image-list data of all images (the "Bitmap" record's value), and its reverse.
    std::vector<uint8_t> WriteData() const;
    void ReadData(std::span<const uint8_t> data);

    std::vector<PublishedProperty> PublishedProperties() override;
    void WriteExtraRecords(ComponentWriter& writer) override;
    bool ReadExtraRecord(const std::string& name, ComponentReader& reader) override;

private:
    int width_;
    int height_;
    int bitsPerPixel_ = DefaultBitsPerPixel;
    int capacity_ = 0;
    std::vector<Bitmap> images_;
    std::vector<Bitmap> masks_;
};

} // namespace vorlane
