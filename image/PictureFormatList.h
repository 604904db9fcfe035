// The formats each decoder file defines, for the list PictureFormats() gives (built with
// VORLANE_PICTURE_FORMATS only; AVIF with VORLANE_AVIF).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "image/PictureDecoder.h"

namespace vorlane {

extern const PictureFormat PngFormat;  // PngDecoder.cpp, libpng
extern const PictureFormat WebpFormat; // WebpDecoder.cpp, libwebp
extern const PictureFormat GifFormat;  // GifDecoder.cpp, giflib
extern const PictureFormat AvifFormat; // AvifDecoder.cpp, libavif

// The message of a picture that fails: "<name> エラー: <what>", as EInvalidGraphic.
[[noreturn]] void ThrowPictureError(const char* format, const std::string& what);

namespace msg {
inline constexpr const char* PictureTooBig = "画像が大きすぎます (%llux%llu)";
inline constexpr const char* PictureFileTooBig = "ファイルが大きすぎます";
inline constexpr const char* PictureCutShort = "ファイルが画像の途中で終わっています";
} // namespace msg

// The whole file (`fileBytes` long), for a library that decodes from memory: at most 1 GiB, more than
// any picture a Bitmap holds needs.
std::vector<uint8_t> ReadPictureBytes(const char* format, std::FILE* file, uint64_t fileBytes);

// Throws the format's error when a picture of width x height is larger than a Bitmap or `maxPixels`
// allows.
void CheckPictureSize(const char* format, uint64_t width, uint64_t height, uint64_t maxPixels);

} // namespace vorlane
