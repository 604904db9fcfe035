// What the gallery needs of the list view that shows it: the main window implements this with its
// large-icon list; tests use a plain in-memory one.
#pragma once

#include <optional>
#include <string>

namespace vorlane {

class TImageList;

class GalleryView {
public:
    virtual ~GalleryView() = default;

    // No repaint between these two.
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;

    virtual void Clear() = 0;                            // remove all items
    virtual void SetLargeImages(TImageList* images) = 0; // the large-icon image list
    virtual void AddItem(const std::string& caption, int imageIndex) = 0;

    virtual std::optional<int> SelectedIndex() const = 0;   // none when nothing is selected
    virtual std::optional<int> DropTargetIndex() const = 0; // the item a drag ended over, if any
};

} // namespace vorlane
