#include "wallpaper/TilingPicture.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "image/BmpFile.h"
#include "platform/Exceptions.h"
#include "platform/ReplacedFile.h"
#include "wallpaper/BitmapRows.h"
#include "wallpaper/PictureName.h"

namespace vorlane {
namespace {

constexpr int MaxSide = 16384;
constexpr const char* Prefix = "tiling-";

// The picture's rows kept whole: the tile.
class TileRows final : public PictureRows {
public:
    void Begin(int width, int height, int bitsPerPixel, std::span<const RgbQuad> palette) override
    {
        tile = Bitmap(width, height, bitsPerPixel);
        tile.Palette().assign(palette.begin(), palette.end());
        rowBytes_ = (size_t(width) * size_t(bitsPerPixel) + 7) / 8;
    }
    void Row(int y, const uint8_t* row) override { std::memcpy(tile.Row(y), row, rowBytes_); }
    void Finished(const std::string&) override {}

    Bitmap tile;

private:
    size_t rowBytes_ = 0;
};

int Wrapped(int value, int period)
{
    const int rest = value % period;
    return rest < 0 ? rest + period : rest;
}

// 64-bit FNV-1a of the file's bytes: the same tiling, the same name.
std::string ContentName(std::span<const uint8_t> bytes)
{
    uint64_t hash = 14695981039346656037u;
    for (const uint8_t b : bytes) {
        hash ^= b;
        hash *= 1099511628211u;
    }
    static constexpr char Hex[] = "0123456789abcdef";
    std::string name = Prefix;
    for (int i = 0; i < 16; ++i, hash >>= 4)
        name += Hex[hash & 15];
    return name + ".bmp";
}

void RemoveOthers(const std::string& folder, const std::vector<std::string>& keep)
{
    DIR* entries = ::opendir(folder.c_str());
    if (!entries)
        return;
    while (const dirent* entry = ::readdir(entries)) {
        const std::string file = folder + entry->d_name;
        if (std::strncmp(entry->d_name, Prefix, std::strlen(Prefix)) == 0 &&
            std::find(keep.begin(), keep.end(), file) == keep.end())
            ::unlink(file.c_str());
    }
    ::closedir(entries);
}

} // namespace

std::string TilingPictureFolder()
{
    const std::string names = PictureNameFolder(); // .../vorlane/wallpaper-names/
    if (names.empty())
        return {};
    return std::filesystem::path(names).parent_path().parent_path().string() + "/tilings/";
}

std::string WriteTilingPicture(const std::string& path, const PixelRect& area, const std::vector<std::string>& keep)
{
    const std::string folder = TilingPictureFolder();
    if (folder.empty() || !NameHolds(folder, NameReader::PlainWord) || area.width <= 0 || area.height <= 0 || area.width > MaxSide || area.height > MaxSide)
        return {};
    TileRows rows;
    try {
        BitmapRows(path).SendTo(rows);
    } catch (const Exception&) {
        return {};
    }
    const Bitmap& tile = rows.tile;
    if (tile.Width() <= 0 || tile.Height() <= 0)
        return {};
    Bitmap tiling(area.width, area.height, 24);
    std::vector<Rgb> row(size_t(area.width));
    for (int y = 0; y < area.height; ++y) {
        const int ty = Wrapped(area.y + y, tile.Height());
        for (int x = 0; x < area.width; ++x)
            row[size_t(x)] = tile.PixelRgb(Wrapped(area.x + x, tile.Width()), ty);
        tiling.SetRowRgb(y, row.data());
    }
    const std::vector<uint8_t> bytes = WriteBmp(tiling);
    const std::string file = folder + ContentName(bytes);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::vector<std::string> kept = keep;
    kept.push_back(file);
    RemoveOthers(folder, kept);
    if (std::filesystem::exists(file, error))
        return file; // the same content
    ReplacedFile out(file, 0644);
    if (!out.Open() || !out.Write(bytes) || !out.Commit(false))
        return {};
    return file;
}

} // namespace vorlane
