// The main window's tool bar: four buttons of 55 x 51 pixels with their captions under 32 x 32
// pictures from the button image list, and hints shown as tool tips where the layout lets them show.
#pragma once

#include <windows.h>

#include <memory>

namespace vorlane {

class ImageListHandle;
class TImageList;

struct ToolButtonLayout {
    int command;      // the WM_COMMAND identifier a click sends
    const char* caption;
    const char* hint;
    int image;
    bool showHint;
};

class TToolBar {
public:
    TToolBar(HWND parent, int id, const TImageList& images, const ToolButtonLayout* buttons, int count);
    ~TToolBar();

    HWND Handle() const { return hwnd_; }
    int Height() const; // the bar sizes itself to its buttons

    // The tool tips ask for their text: true when handled here.
    bool Notify(NMHDR& notice);

private:
    HWND hwnd_;
    std::unique_ptr<ImageListHandle> images_;
    const ToolButtonLayout* buttons_;
    int count_;
};

} // namespace vorlane
