// The file a picture of the gallery becomes the wallpaper through: a bitmap is used as it is; anything
// else is decoded as JPEG and written as the bitmap file "Temp.bmp" in the program folder.
#pragma once

#include <string>

namespace vorlane {

// The wallpaper path for `picture`, cut to 255 bytes. ".bmp" (any letter case) -> the picture itself;
// otherwise the JPEG is decoded at full size (24 bits, or at most 236 colours for a greyscale picture or
// a display of 8 bits per pixel or fewer) and written as ProgramFolder() + "Temp.bmp", complete before it
// replaces the old file. Raises "ファイル %s は開けません", "JPEG エラー #%d" or
// "ファイル %s を作成できません"; the old "Temp.bmp" then stays as it was.
std::string PrepareWallpaperFile(const std::string& picture, int displayBitsPerPixel);

// The conversion file's path: ProgramFolder() + "Temp.bmp".
std::string TempWallpaperPath();

} // namespace vorlane
