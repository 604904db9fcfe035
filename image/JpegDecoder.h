// One libjpeg decompression with the program's settings, a call at a time, for the full-size decoder and
// for thumbnails that take only some rows. Every fatal libjpeg error becomes EJPEG "JPEG エラー #%d" with
// libjpeg's message number; warnings (a truncated file, corrupt data) are dropped, as libjpeg then goes on
// with its own fill. The decompression object is destroyed with this object, whatever happened.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "image/Bitmap.h"
#include "image/PictureFile.h"

namespace vorlane {

struct JpegSession; // libjpeg's state, private to the decoder

class JpegDecoder {
public:
    // libjpeg's own memory (the coefficients of a progressive picture, the picture a two-pass colour
    // quantiser keeps) stops here; beyond it libjpeg fails with its "no backing store" error.
    static constexpr long MaxLibraryMemory = 512L << 20;
    // A progressive picture with more scans than this is refused: each scan may cost a pass over the
    // whole picture while taking only a few bytes of the file.
    static constexpr int MaxScans = 200;

    // Reads from memory; `data` must outlive the decoder.
    explicit JpegDecoder(std::span<const uint8_t> data);
    // Reads from an open file, a buffer at a time; `file` must outlive the decoder.
    explicit JpegDecoder(std::FILE* file);
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    // Reads the header and chooses the output: 24-bit (B, G, R bytes), or colour-table indices (at most
    // 236 colours) for a greyscale picture or a display of 8 bits per pixel or fewer. A picture larger
    // than a Bitmap may hold fails here, before anything is decompressed.
    void ReadHeader(int displayBitsPerPixel);
    int Width() const;
    int Height() const;
    int BitsPerPixel() const; // 24 or 8
    // After ReadHeader: the orientation its Exif data records (image/Orientation.h), 1 when none.
    int Orientation() const;
    // After ReadHeader: refuses a picture of more than `maxPixels` pixels (libjpeg's "image too big"),
    // and one that claims more pixels than a file of `fileBytes` can hold ("premature end of input"):
    // with Huffman coding every 8x8 block of a component takes at least one bit. Arithmetic coding can
    // code a plain area in less, so there only `maxPixels` holds.
    void CheckClaimedSize(uint64_t fileBytes, uint64_t maxPixels) const;
    // Whether skipped rows leave the rows read afterwards exactly as a full decode gives them: not with
    // colour quantisation, whose dithering carries from each row into the next.
    bool CanSkipRows() const;

    // Before Start: only the output rows and columns listed need be right, and a progressive picture
    // keeps only the coefficients they depend on (and what later scans need to be decoded), so that its
    // memory follows its width rather than its area. CanSkipRows() only; with a libjpeg whose module
    // table is not known, the whole picture is kept.
    void KeepOnlySamples(const std::vector<int>& rows, const std::vector<int>& columns);
    void Start();
    // The colour table of quantised output (after Start).
    std::vector<RgbQuad> Palette() const;
    // The next output row: Width() * BitsPerPixel() / 8 bytes.
    void ReadRow(uint8_t* row);
    // From now on only the output columns listed need be right: libjpeg leaves out the inverse DCT of
    // every block none of them depends on (with a libjpeg whose module table is not known, nothing is
    // left out). CanSkipRows() only, after Start(); other columns of the rows read come out black or
    // anything.
    void DecodeOnlyColumns(const std::vector<int>& columns);
    // Skips `count` rows (CanSkipRows() only), from any row.
    void SkipRows(int count);
    int NextRow() const;
    // After the last row: reads to the end of the picture.
    void Finish();

private:
    void Check(bool succeeded) const;
    void SetSource(bool again);
    std::unique_ptr<JpegSession> session_;
    std::FILE* file_ = nullptr;
    long fileStart_ = 0;
    std::span<const uint8_t> data_;
    int displayBitsPerPixel_ = 24;
    std::vector<uint8_t> neededBlocks_; // per component, one flag per block column
    std::vector<int> keptRows_, keptColumns_;
};

} // namespace vorlane
