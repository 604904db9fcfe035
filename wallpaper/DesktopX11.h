// The X11 root window's wallpaper, set the way X wallpaper setters share it: a root-sized pixmap named by
// the root properties _XROOTPMAP_ID and ESETROOT_PMAP_ID (which compositors and pseudo-transparent
// programs read), also set as the root's background. The display is the one DISPLAY names.
//
// A centred picture is centred on each monitor (RandR monitors; the whole screen when the server names
// none), cut at the monitor's edges; a tiled one repeats from the top-left corner of the whole screen.
// Fill, fit and stretch scale it to each monitor, span to the monitors' bounding box (ScaledPicture.h).
// Whatever no picture covers is black.
#pragma once

#include <memory>
#include <string>

#include "image/BmpFile.h"
#include "wallpaper/PictureRows.h"
#include "wallpaper/Placement.h"

typedef struct _XDisplay Display;

namespace vorlane {

class BitmapRows;

// The root's picture, drawn from the wallpaper's rows as they come into a pixmap of the server, a strip
// of rows at a time: only the parts that show on screen are converted, and only a few rows are held here.
class X11RootDrawing final : public PictureRows {
public:
    // Connects to the display; Ready() is false when there is none or its visual is not a true-colour one.
    explicit X11RootDrawing(WallpaperPlacement placement);
    // Draws for `window` of `display` instead (a screen saver's window), which stays open afterwards.
    X11RootDrawing(WallpaperPlacement placement, Display* display, unsigned long window);
    ~X11RootDrawing() override;
    X11RootDrawing(const X11RootDrawing&) = delete;
    X11RootDrawing& operator=(const X11RootDrawing&) = delete;

    bool Ready() const;
    WallpaperPlacement Placement() const { return placement_; }

    void Begin(int width, int height, int bitsPerPixel, std::span<const RgbQuad> palette) override;
    void Row(int y, const uint8_t* row) override;
    void Finished(const std::string& file) override;
    // True once every row came and `file` is still the file Finished() named, unchanged since.
    bool Shows(const std::string& file) const;

    // Makes the drawing the root's wallpaper (see SetX11RootWallpaper). False when the server refused.
    bool Publish();
    // The drawing, complete, as a pixmap of the window's size that the caller frees; None (0) when the
    // server refused.
    unsigned long TakePixmap();

private:
    struct State;
    std::unique_ptr<State> state_;
    WallpaperPlacement placement_;
};

// Draws the bitmap `picture` reads, a band of rows at a time, placed as asked into a new pixmap and
// publishes it. The previous setter's pixmap is freed when both properties named it, and the new one
// outlives this connection. False when there is no display, its visual is not a true-colour one, or the
// server refused; raises as BitmapRows::SendTo does, and nothing is published then.
bool SetX11RootWallpaper(const BitmapRows& picture, WallpaperPlacement placement);

// Bits per pixel of the display's screen, as a program started now sees it; 0 without a display.
int X11DisplayDepth();

// Removes the wallpaper: the root shows black, the properties are removed and a previous setter's
// pixmap is freed. False when there is no display.
bool ClearX11RootWallpaper();

} // namespace vorlane
