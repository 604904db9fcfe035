// Windows bitmap files: one reader (info and core headers, bottom-up and top-down, uncompressed,
// bit-field and run-length data) and one writer (uncompressed, bottom-up).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "gallery/Bitmap.h"

namespace vorlane {

// Reads a complete bitmap file ("BM" file header first) from memory. Invalid data -> EInvalidGraphic
// "ビットマップイメージが不正です". `consumed`, when given, receives the bytes the file occupies.
Bitmap ReadBmp(std::span<const uint8_t> data, size_t* consumed = nullptr);
// Reads a bitmap file from disk: EFOpenError "ファイル %s は開けません" when it cannot be opened.
Bitmap ReadBmpFile(const std::string& path);

// The complete file: file header, 40-byte information header, colour table (8 bits or fewer), rows
// bottom-up padded to 4 bytes.
std::vector<uint8_t> WriteBmp(const Bitmap& bitmap);

} // namespace vorlane
