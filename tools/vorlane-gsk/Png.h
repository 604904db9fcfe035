// A minimal PNG writer (8-bit RGBA, no interlace), enough for the thumbnail sheet of `thumbs`.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorlane::gsk {

// Pixels of an RGBA picture, row by row from the top, 4 bytes a pixel.
struct RgbaPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

// The complete PNG file of `picture`.
std::vector<uint8_t> EncodePng(const RgbaPicture& picture);

// Writes `bytes` to `path`, replacing it: EFCreateError "ファイル %s を作成できません" when it cannot be
// created, EWriteError "ストリームへの書き込みエラー" when not every byte is written.
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace vorlane::gsk
