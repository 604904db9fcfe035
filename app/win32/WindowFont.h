// The font of both windows, as the layout (app/MainWindowLayout.h) names it.
#pragma once

#include <windows.h>

namespace vorlane {

// One font for the whole run, made on first use.
HFONT WindowFont();
// Gives `window` and each of its child windows the font.
void ApplyWindowFont(HWND window);

} // namespace vorlane
