// The picture formats read beside Windows bitmaps and JPEG (PNG, WebP, GIF, AVIF where the build has
// their libraries), recognised by their first bytes, each giving its picture a row at a time.
//
// A bitmap is still known by its name (".bmp") and a JPEG is still whatever else a file is: only a
// file that starts with one of these formats' signatures is read by its decoder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

#include "image/Bitmap.h"

namespace vorlane {

// One picture being decoded: its size, then its rows from the top, as B, G, R, A bytes (the alpha not
// premultiplied; 255 where the format has no transparency). Errors are EInvalidGraphic carrying the
// format's message ("PNG エラー: %s", ...); the decoder's state goes with the object, whatever happened.
class PictureDecoder {
public:
    virtual ~PictureDecoder() = default;
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The next row: Width() * 4 bytes.
    virtual void ReadRow(uint8_t* bgra) = 0;
    // Passes over the next row; a decoder that must decode it anyway reads it into a row of its own.
    virtual void SkipRow() = 0;
    // After the last row: reads what the picture still holds, so that damage there fails as it would in
    // a full decode.
    virtual void Finish() {}

protected:
    int width_ = 0;
    int height_ = 0;
};

struct PictureFormat {
    const char* name;       // "PNG"
    const char* extensions; // the names it usually goes by: "*.png"
    size_t signatureBytes;  // how many first bytes Matches looks at
    bool (*Matches)(std::span<const uint8_t> head);
    // Reads the header of the picture in `file` (at its start; `fileBytes` long) and checks it before
    // anything the size of the picture is allocated: sides of at most Bitmap::MaxSide, at most
    // `maxPixels` pixels, and no more than a file of `fileBytes` can hold.
    std::unique_ptr<PictureDecoder> (*Open)(std::FILE* file, uint64_t fileBytes, uint64_t maxPixels);
};

// The formats of this build, in a fixed order; none where the build leaves them out.
std::span<const PictureFormat> PictureFormats();
// The format whose signature `file` starts with, or nullptr; the file is back at its start afterwards.
const PictureFormat* RecognisePicture(std::FILE* file);

// The most pixels a thumbnail or preview decodes: what a 24-bit Bitmap may hold.
inline constexpr uint64_t MaxPicturePixels = Bitmap::MaxBytes / 3;

// The colour of a B, G, R, A pixel laid over `background`: each channel c*a + b*(255 - a), over 255,
// rounded to nearest.
inline Rgb OverBackground(const uint8_t* bgra, Rgb background)
{
    const unsigned a = bgra[3];
    const auto mix = [a](unsigned c, unsigned b) { return uint8_t((c * a + b * (255 - a) + 127) / 255); };
    return MakeRgb(mix(bgra[2], RedOf(background)), mix(bgra[1], GreenOf(background)),
                   mix(bgra[0], BlueOf(background)));
}

// The whole picture stretched to width x height (24 bits) with the mode a surface of
// `displayBitsPerPixel` uses for a 24-bit picture, transparent parts over `background`. Only the rows
// the stretch takes are kept.
Bitmap StretchPicture(PictureDecoder& decoder, int width, int height, int displayBitsPerPixel, Rgb background);
// The whole picture as a 24-bit Bitmap, transparent parts over `background`.
Bitmap DecodePicture(PictureDecoder& decoder, Rgb background);

// Opens `path` (EFOpenError when it cannot be) and, when it is a picture of PictureFormats(), decodes it
// whole over `background`; an empty Bitmap when it is not one of them.
Bitmap DecodeRecognisedPictureFile(const std::string& path, Rgb background);

// The size of an open file: EFOpenError "ファイル %s は開けません" with `path` when it cannot be known.
uint64_t PictureFileBytes(std::FILE* file, const std::string& path);

} // namespace vorlane
