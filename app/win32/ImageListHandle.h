// A common-controls image list holding the images and masks of one of ours, for the controls that
// draw from one (the list view's large icons, the tool bar's buttons).
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace vorlane {

class TImageList;

class ImageListHandle {
public:
    // A copy of `list` as it stands: every image at 24 bits with its mask, at the list's image size or,
    // given one, at `width` x `height` (each pixel repeated, so a picture stays sharp at 150 and 200 %).
    explicit ImageListHandle(const TImageList& list);
    ImageListHandle(const TImageList& list, int width, int height);
    ~ImageListHandle();
    ImageListHandle(const ImageListHandle&) = delete;
    ImageListHandle& operator=(const ImageListHandle&) = delete;

    HIMAGELIST Get() const { return handle_; }

private:
    HIMAGELIST handle_;
};

} // namespace vorlane
