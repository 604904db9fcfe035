// The file a picture of the gallery becomes the wallpaper through: a bitmap is used as it is; a picture
// of PictureFormats() (PNG, WebP, GIF, AVIF, known by its first bytes) is decoded, its transparent parts
// over black, and anything else as JPEG, and written as the bitmap file "Temp.bmp" in the program folder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "wallpaper/PictureRows.h"

namespace vorlane {

class TWallPaper;

// The largest picture made into "Temp.bmp": 2^27 pixels (for instance 16384 x 8192), whose file takes
// 384 MiB at 24 bits. Larger JPEG pictures are refused with libjpeg's "image too big" number, larger
// pictures of the other formats with their format's "画像が大きすぎます".
inline constexpr uint64_t MaxWallpaperPixels = uint64_t(1) << 27;

// The wallpaper path for `picture`, cut as TWallPaper cuts it. ".bmp" (any letter case) -> the picture
// itself; otherwise the JPEG is decoded at full size (24 bits, or at most 236 colours for a greyscale
// picture or a display of 8 bits per pixel or fewer) and written as ProgramFolder() + "Temp.bmp",
// complete before it replaces the old file. Each decoded row also goes to `drawing`, when given, which
// is told Finished() once the file holds the picture; no copy of the whole picture is kept.
//
// Raises "ファイル %s は開けません", "JPEG エラー #%d" (also for a picture over MaxWallpaperPixels, or
// one claiming more pixels than its file can hold: then nothing is decoded or written) or
// "ファイル %s を作成できません"; the old "Temp.bmp" then stays as it was. A picture path longer than the
// system takes is refused first (EPathTooLong).
std::string PrepareWallpaperFile(const std::string& picture, int displayBitsPerPixel, PictureRows* drawing = nullptr);
// The same for a picture its caller has opened already, as `file` (a bitmap is not read).
std::string PrepareWallpaperFile(const std::string& picture, std::FILE* file, int displayBitsPerPixel,
                                 PictureRows* drawing);

// The picture's rows, read as PrepareWallpaperFile reads it (a bitmap where its rows lie, any other
// picture decoded and turned upright), handed to `to` without writing any file: Begin, then every row
// from the top; Finished is not called. Raises as PrepareWallpaperFile does, or as BitmapRows for a
// bitmap; `to` has then had only some rows.
void SendPictureRows(const std::string& picture, int displayBitsPerPixel, PictureRows& to);

// What the wallpaper button does with a picture once it has been opened as `file`: its wallpaper file is
// prepared (drawn on the desktops that take its rows as they are written), then set and recorded. True
// when a desktop of the session showed it: only then is the mascot told. Raises as
// PrepareWallpaperFile does; nothing is recorded then.
bool SetPictureAsWallpaper(TWallPaper& wallpaper, const std::string& picture, std::FILE* file, int displayBitsPerPixel);

// The conversion file's path: ProgramFolder() + "Temp.bmp".
std::string TempWallpaperPath();

} // namespace vorlane
