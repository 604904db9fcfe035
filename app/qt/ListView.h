// The main window's large-icon list: shows the gallery's entries and reports a drop of one of its own
// items onto another. Items are plain rows of a model; icons are made from the image list only when an
// item is painted, and each image's icon once, so rebuilding 10,000 items stays cheap.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QListView>

#include "gallery/View.h"

namespace vorlane {

class GalleryItemModel;

class TListView final : public QListView, public GalleryView {
public:
    explicit TListView(QWidget* parent = nullptr);
    ~TListView() override;

    void BeginUpdate() override;
    void EndUpdate() override;
    void Clear() override;
    void SetLargeImages(TImageList* images) override;
    void AddItem(const std::string& caption, int imageIndex) override;
    std::optional<int> SelectedIndex() const override;
    std::optional<int> DropTargetIndex() const override;

    int Count() const;
    std::string Caption(int index) const;
    void Select(std::optional<int> index);

    // Called when one of the list's own items is dropped on the list; DropTargetIndex() names the item
    // under the mouse (none outside any item) while it runs.
    std::function<void()> OnDragDrop;
    // Ends a drag over `target`, as a drop does.
    void DropOn(std::optional<int> target);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool OwnDrag(const QDropEvent* event) const;
    // Accepts a drag of the list's own items as a copy; refuses any other.
    bool AcceptOwnDrag(QDropEvent* event) const;
    std::optional<int> ItemAt(const QDropEvent* event) const; // the item under the mouse
    std::unique_ptr<GalleryItemModel> model_;
    int updateDepth_ = 0;
    std::optional<int> dropTarget_;
};

} // namespace vorlane
