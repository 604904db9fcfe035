// The X11 root window's wallpaper, set the way X wallpaper setters share it: a root-sized pixmap named by
// the root properties _XROOTPMAP_ID and ESETROOT_PMAP_ID (which compositors and pseudo-transparent
// programs read), also set as the root's background. The display is the one DISPLAY names.
#pragma once

#include "image/BmpFile.h"

namespace vorlane {

// Draws the picture `picture` views centred on black (cut at the edges when it is larger) or tiled from
// the top-left corner into a new pixmap and publishes it. The previous setter's pixmap is freed when both properties
// named it, and the new one outlives this connection. False when there is no display, its visual is not
// a true-colour one, or the server refused.
bool SetX11RootWallpaper(const BmpRowsView& picture, bool tile);

// Removes the wallpaper: the root shows black, the properties are removed and a previous setter's
// pixmap is freed. False when there is no display.
bool ClearX11RootWallpaper();

} // namespace vorlane
