// The placeholder picture (image 0) of a gallery that the tool creates. The window takes its placeholder
// from its own resources; the tool has no window, so it draws an equivalent one: a white sheet of
// paper with a folded corner, transparent around the sheet.
#pragma once

#include "image/Bitmap.h"

namespace vorlane::gsk {

// 32x32 at 24 bits per pixel, and its 1-bit mask (1 = transparent).
Bitmap PlaceholderImage();
Bitmap PlaceholderMask();

} // namespace vorlane::gsk
