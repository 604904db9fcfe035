#include "wallpaper/TilingPicture.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "image/BmpFile.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/ReplacedFile.h"
#include "wallpaper/BitmapRows.h"
#include "wallpaper/PictureName.h"

namespace vorlane {
namespace {

constexpr int MaxSide = 16384;
constexpr const char* Prefix = "tiling-";

int Wrapped(int value, int period);

// The tiling drawn as the picture's rows come: each row goes to every row of the area it falls on, so
// only the area's picture is held, never the whole tile (which may be a photo of many megapixels).
class TilingRows final : public PictureRows {
public:
    explicit TilingRows(const PixelRect& area) : area_(area), tiling(area.width, area.height, 24) {}

    void Begin(int width, int height, int bitsPerPixel, std::span<const RgbQuad> palette) override
    {
        width_ = width;
        height_ = height;
        bitsPerPixel_ = bitsPerPixel;
        palette_.assign(palette.begin(), palette.end());
        line_.resize(size_t(area_.width));
    }
    void Row(int y, const uint8_t* row) override
    {
        if (width_ <= 0 || height_ <= 0)
            return;
        for (int x = 0; x < area_.width; ++x)
            line_[size_t(x)] = Pixel(row, Wrapped(area_.x + x, width_));
        for (int out = Wrapped(y - area_.y, height_); out < area_.height; out += height_)
            tiling.SetRowRgb(out, line_.data());
        ++rows_;
    }
    void Finished(const std::string&) override {}
    bool Complete() const { return height_ > 0 && rows_ == height_; }

private:
    Rgb Pixel(const uint8_t* row, int x) const
    {
        if (bitsPerPixel_ == 24)
            return MakeRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]); // B, G, R
        const size_t index = row[x];
        return index < palette_.size() ? MakeRgb(palette_[index].red, palette_[index].green, palette_[index].blue) : 0;
    }

    PixelRect area_;
    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = 0;
    int rows_ = 0;
    std::vector<RgbQuad> palette_;
    std::vector<Rgb> line_;

public:
    Bitmap tiling;
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

// Removes the tiling pictures but those kept and the one written last: a desktop may still be loading
// that one while it is given the next (as when a monitor changes in steps), and one it cannot open
// leaves it on a picture of its own.
void RemoveOthers(const std::string& folder, const std::vector<std::string>& keep)
{
    std::vector<std::filesystem::path> others;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().filename().string().starts_with(Prefix) &&
            std::find(keep.begin(), keep.end(), entry.path().string()) == keep.end())
            others.push_back(entry.path());
    const auto written = [&](const std::filesystem::path& file) {
        std::error_code ignored;
        return std::filesystem::last_write_time(file, ignored);
    };
    const auto last = std::max_element(others.begin(), others.end(),
                                       [&](const auto& a, const auto& b) { return written(a) < written(b); });
    for (auto file = others.begin(); file != others.end(); ++file)
        if (file != last)
            std::filesystem::remove(*file, error);
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
    if (folder.empty() || !NameHolds(folder, NameReader::PlainWord) || area.width <= 0 || area.height <= 0 ||
        area.width > MaxSide || area.height > MaxSide)
        return {};
    TilingRows rows(area);
    try {
        BitmapRows(path).SendTo(rows);
    } catch (const Exception&) {
        return {};
    }
    if (!rows.Complete())
        return {};
    const Bitmap& tiling = rows.tiling;
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
