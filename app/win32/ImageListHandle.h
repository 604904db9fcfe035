// A common-controls image list holding the images and masks of one of ours, for the controls that
// draw from one (the list view's large icons, the tool bar's buttons).
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace vorlane {

class TImageList;

class ImageListHandle {
public:
    // A copy of `list` as it stands: its image size, every image at 24 bits with its mask.
    explicit ImageListHandle(const TImageList& list);
    ~ImageListHandle();
    ImageListHandle(const ImageListHandle&) = delete;
    ImageListHandle& operator=(const ImageListHandle&) = delete;

    HIMAGELIST Get() const { return handle_; }

private:
    HIMAGELIST handle_;
};

} // namespace vorlane
