// The main window's tool bar: four buttons of 55 x 51 pixels (at 96 DPI) with their captions under 32 x 32
// pictures from the button image list, and hints shown as tool tips where the layout lets them show.
#pragma once

#include <windows.h>

#include <memory>
#include <span>

namespace vorlane {

class ImageListHandle;
class TImageList;
struct ToolButtonLayout;

class TToolBar {
public:
    // Each button sends its control's WM_COMMAND identifier (MainMenu.h).
    TToolBar(HWND parent, int id, const TImageList& images, std::span<const ToolButtonLayout> buttons);
    ~TToolBar();

    HWND Handle() const { return hwnd_; }
    int Height() const; // the bar sizes itself to its buttons

    // The tool tips ask for their text: true when handled here.
    bool Notify(NMHDR& notice);

private:
    HWND hwnd_;
    std::unique_ptr<ImageListHandle> images_;
    std::span<const ToolButtonLayout> buttons_;
};

} // namespace vorlane
