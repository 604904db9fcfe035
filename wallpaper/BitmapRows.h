// A bitmap file's rows, handed on top row first a band at a time. An uncompressed file (the usual case,
// "Temp.bmp" included) is read where its rows lie, so only a band of rows is held whatever the picture's
// size; a file stored in another form (run-length, bit fields other than the plain ones) is decoded
// whole first.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "image/BmpFile.h"
#include "image/PictureFile.h"
#include "wallpaper/PictureRows.h"

namespace vorlane {

class BitmapRows {
public:
    // Opens the file and reads its headers: EFOpenError when the file cannot be read, EInvalidGraphic
    // when it is not a valid bitmap.
    explicit BitmapRows(const std::string& path);

    // Hands the picture to `to`: Begin, then every row from the top. EFOpenError when the file can no
    // longer be read, EInvalidGraphic when it now ends before its rows do; `to` has then had only some.
    void SendTo(PictureRows& to) const;

private:
    std::string path_;
    std::unique_ptr<std::FILE, FileCloser> file_;
    bool placed_ = false; // the rows are read from the file as `place_` says
    BmpRowsPlace place_;
    Bitmap decoded_; // otherwise the picture, read whole
};

} // namespace vorlane
