// A bitmap file's rows, viewed where they lie in the file's bytes when it is stored uncompressed (the
// usual case, "Temp.bmp" included), or decoded when it is stored in another form.
#pragma once

#include <memory>
#include <string>

#include "image/BmpFile.h"

namespace vorlane {

class BitmapRows {
public:
    // EFOpenError when the file cannot be read, EInvalidGraphic when it is not a valid bitmap.
    explicit BitmapRows(const std::string& path);

    const BmpRowsView& View() const { return view_; }

private:
    std::unique_ptr<uint8_t[]> bytes_;
    Bitmap decoded_;
    BmpRowsView view_;
};

} // namespace vorlane
