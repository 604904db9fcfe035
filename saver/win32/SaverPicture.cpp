#include "saver/win32/SaverPicture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>

#include "wallpaper/PictureRows.h"
#include "wallpaper/WallpaperFile.h"

namespace vorlane::saver {
namespace {

PixelRect Intersection(const PixelRect& a, const PixelRect& b)
{
    const int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    const int x1 = std::min(a.x + a.width, b.x + b.width), y1 = std::min(a.y + a.height, b.y + b.height);
    return x1 > x0 && y1 > y0 ? PixelRect{x0, y0, x1 - x0, y1 - y0} : PixelRect{};
}

PixelRect Bounds(const std::vector<PixelRect>& rects)
{
    if (rects.empty())
        return {};
    int x0 = rects[0].x, y0 = rects[0].y, x1 = x0 + rects[0].width, y1 = y0 + rects[0].height;
    for (const PixelRect& r : rects) {
        x0 = std::min(x0, r.x);
        y0 = std::min(y0, r.y);
        x1 = std::max(x1, r.x + r.width);
        y1 = std::max(y1, r.y + r.height);
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

// Where the whole picture goes for one area, and the part of the area it shows in.
struct Place {
    PixelRect whole;
    PixelRect shown;
};

// The picture's rows in, the part of it that shows kept, reduced by blocks of 2^shift pixels.
class ReducedPicture final : public PictureRows {
public:
    ReducedPicture(const SaverFrame& frame, WallpaperPlacement placement) : frame_(frame), placement_(placement) {}

    void Begin(int width, int height, int bitsPerPixel, std::span<const RgbQuad> palette) override
    {
        width_ = width;
        height_ = height;
        bitsPerPixel_ = bitsPerPixel;
        palette_.assign(palette.begin(), palette.end());
        palette_.resize(256);
        const std::vector<PixelRect> areas =
            placement_ == WallpaperPlacement::Span ? std::vector<PixelRect>{Bounds(frame_.monitors)} : frame_.monitors;
        double largestX = 0, largestY = 0; // the largest scale it shows at
        int x0 = width, x1 = 0, y0 = height, y1 = 0;
        for (const PixelRect& area : areas) {
            PixelRect whole;
            if (placement_ == WallpaperPlacement::Centred || placement_ == WallpaperPlacement::Tiled) {
                const int w = std::max(1, int(std::lround(width * frame_.scaleX)));
                const int h = std::max(1, int(std::lround(height * frame_.scaleY)));
                whole = {area.x + (area.width - w) / 2, area.y + (area.height - h) / 2, w, h};
            } else {
                whole = PlaceScaledPicture(placement_, width, height, area);
            }
            const PixelRect shown = Intersection(whole, area);
            if (shown.width == 0)
                continue;
            places_.push_back({whole, shown});
            const double scaleX = double(whole.width) / width, scaleY = double(whole.height) / height;
            largestX = std::max(largestX, scaleX);
            largestY = std::max(largestY, scaleY);
            // The picture's pixels under the part shown.
            x0 = std::min(x0, int(std::floor((shown.x - whole.x) / scaleX)));
            x1 = std::max(x1, int(std::ceil((shown.x + shown.width - whole.x) / scaleX)));
            y0 = std::min(y0, int(std::floor((shown.y - whole.y) / scaleY)));
            y1 = std::max(y1, int(std::ceil((shown.y + shown.height - whole.y) / scaleY)));
        }
        if (places_.empty())
            return;
        // Blocks no larger than a pixel shown, so the copy kept is at least as large as it shows.
        while (shift_ < MaxShift && double(2 << shift_) * largestX <= 1 && double(2 << shift_) * largestY <= 1)
            ++shift_;
        const int block = 1 << shift_;
        // A block more at each side, for the stretch's filter at the edges.
        x0_ = std::max(0, x0 - block) / block * block;
        y0_ = std::max(0, y0 - block) / block * block;
        x1_ = std::min(width, x1 + block);
        y1_ = std::min(height, y1 + block);
        keptWidth_ = (x1_ - x0_ + block - 1) / block;
        keptHeight_ = (y1_ - y0_ + block - 1) / block;
        stride_ = (size_t(keptWidth_) * 3 + 3) & ~size_t(3);
        kept_.assign(stride_ * size_t(keptHeight_), 0);
        sums_.assign(size_t(keptWidth_) * 3, 0);
    }

    void Row(int y, const uint8_t* row) override
    {
        if (y < y0_ || y >= y1_)
            return;
        for (int x = x0_; x < x1_; ++x) {
            uint32_t* sum = &sums_[size_t((x - x0_) >> shift_) * 3];
            if (bitsPerPixel_ == 8) {
                const RgbQuad& colour = palette_[row[x]];
                sum[0] += colour.blue;
                sum[1] += colour.green;
                sum[2] += colour.red;
            } else {
                sum[0] += row[size_t(x) * 3];
                sum[1] += row[size_t(x) * 3 + 1];
                sum[2] += row[size_t(x) * 3 + 2];
            }
        }
        const int block = 1 << shift_;
        const int rowInBlock = (y - y0_) % block;
        if (rowInBlock != block - 1 && y != y1_ - 1)
            return;
        // The block row is complete: each kept pixel the mean of its block (smaller at the far edges).
        uint8_t* out = kept_.data() + size_t((y - y0_) >> shift_) * stride_;
        for (int i = 0; i < keptWidth_; ++i) {
            const int columns = std::min(block, x1_ - x0_ - i * block);
            const uint32_t count = uint32_t(columns) * uint32_t(rowInBlock + 1);
            for (int c = 0; c < 3; ++c) {
                uint32_t& sum = sums_[size_t(i) * 3 + size_t(c)];
                out[size_t(i) * 3 + size_t(c)] = uint8_t((sum + count / 2) / count);
                sum = 0;
            }
        }
    }

    void Finished(const std::string&) override {}

    void DrawInto(HDC dc) const
    {
        if (places_.empty() || kept_.empty())
            return;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = keptWidth_;
        info.bmiHeader.biHeight = -keptHeight_; // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        for (const Place& place : places_) {
            // The kept part goes where its pixels fall in the whole picture's place.
            const double scaleX = double(place.whole.width) / width_, scaleY = double(place.whole.height) / height_;
            const int left = place.whole.x + int(std::lround(x0_ * scaleX));
            const int right = place.whole.x + int(std::lround(x1_ * scaleX));
            const int top = place.whole.y + int(std::lround(y0_ * scaleY));
            const int bottom = place.whole.y + int(std::lround(y1_ * scaleY));
            const int saved = SaveDC(dc);
            IntersectClipRect(dc, place.shown.x, place.shown.y, place.shown.x + place.shown.width,
                              place.shown.y + place.shown.height);
            StretchDIBits(dc, left, top, std::max(1, right - left), std::max(1, bottom - top), 0, 0, keptWidth_,
                          keptHeight_, kept_.data(), &info, DIB_RGB_COLORS, SRCCOPY);
            RestoreDC(dc, saved);
        }
    }

private:
    const SaverFrame& frame_;
    WallpaperPlacement placement_;
    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = 24;
    std::vector<RgbQuad> palette_;
    std::vector<Place> places_;
    // Blocks of at most 2048 x 2048 pixels, whose sums fit 32 bits.
    static constexpr int MaxShift = 11;
    int shift_ = 0;
    int x0_ = 0, x1_ = 0, y0_ = 0, y1_ = 0; // the part of the picture kept
    int keptWidth_ = 0;
    int keptHeight_ = 0;
    size_t stride_ = 0;
    std::vector<uint8_t> kept_;  // its rows, reduced, as a 24-bit bitmap's
    std::vector<uint32_t> sums_; // the block row being summed: B, G, R a kept pixel
};

// A black bitmap of the frame's size, handed to `draw` selected into a DC of its own.
template <class F>
HBITMAP BlackBitmap(HDC dc, const SaverFrame& frame, F draw)
{
    HBITMAP bitmap = CreateCompatibleBitmap(dc, std::max(1, frame.width), std::max(1, frame.height));
    if (!bitmap)
        return nullptr;
    HDC memory = CreateCompatibleDC(dc);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    const RECT all{0, 0, frame.width, frame.height};
    FillRect(memory, &all, HBRUSH(GetStockObject(BLACK_BRUSH)));
    draw(memory);
    SelectObject(memory, old);
    DeleteDC(memory);
    return bitmap;
}

} // namespace

SaverFrame ScreenFrame()
{
    SaverFrame frame;
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    frame.width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    frame.height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    struct Found {
        SaverFrame* frame;
        int left, top;
    } found{&frame, left, top};
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR, HDC, LPRECT area, LPARAM data) -> BOOL {
            auto& f = *reinterpret_cast<Found*>(data);
            f.frame->monitors.push_back(
                {area->left - f.left, area->top - f.top, area->right - area->left, area->bottom - area->top});
            return TRUE;
        },
        LPARAM(&found));
    if (frame.monitors.empty())
        frame.monitors.push_back({0, 0, frame.width, frame.height});
    return frame;
}

SaverFrame PreviewFrame(int width, int height)
{
    const SaverFrame screen = ScreenFrame();
    SaverFrame frame;
    frame.width = width;
    frame.height = height;
    frame.scaleX = double(width) / std::max(1, screen.width);
    frame.scaleY = double(height) / std::max(1, screen.height);
    for (const PixelRect& monitor : screen.monitors) {
        const int x0 = int(std::lround(monitor.x * frame.scaleX)), y0 = int(std::lround(monitor.y * frame.scaleY));
        const int x1 = int(std::lround((monitor.x + monitor.width) * frame.scaleX));
        const int y1 = int(std::lround((monitor.y + monitor.height) * frame.scaleY));
        frame.monitors.push_back({x0, y0, std::max(1, x1 - x0), std::max(1, y1 - y0)});
    }
    return frame;
}

HBITMAP DrawSaverPicture(HDC dc, const SaverFrame& frame, const std::string& picture, WallpaperPlacement placement)
{
    ReducedPicture reduced(frame, placement);
    // A display of 8 bits or fewer gets JPEG pictures in at most 236 colours, as the desktop does.
    SendPictureRows(picture, GetDeviceCaps(dc, BITSPIXEL) <= 8 ? 8 : 24, reduced);
    return BlackBitmap(dc, frame, [&](HDC memory) { reduced.DrawInto(memory); });
}

HBITMAP DrawSaverText(HDC dc, const SaverFrame& frame, const std::string& line)
{
    return BlackBitmap(dc, frame, [&](HDC memory) {
        // The largest size up to a thirtieth of the height at which the line fits the width.
        RECT all{0, 0, frame.width, frame.height};
        for (int size = std::max(10, frame.height / 30); size >= 6; size = size * 4 / 5) {
            HFONT font =
                CreateFontA(-size, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, "ＭＳ ゴシック");
            const HGDIOBJ old = SelectObject(memory, font);
            SIZE extent{};
            GetTextExtentPoint32A(memory, line.data(), int(line.size()), &extent);
            const bool last = extent.cx <= frame.width * 19 / 20 || size * 4 / 5 < 6;
            if (last) {
                SetTextColor(memory, RGB(255, 255, 255));
                SetBkMode(memory, TRANSPARENT);
                DrawTextA(memory, line.data(), int(line.size()), &all,
                          DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            }
            SelectObject(memory, old);
            DeleteObject(font);
            if (last)
                break;
        }
    });
}

} // namespace vorlane::saver
