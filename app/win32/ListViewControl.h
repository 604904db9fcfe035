// The main window's large-icon list on the common list-view control: shows the gallery's entries with
// their thumbnails and reports a drop of one of its own items onto another (a drag starts by itself
// when an item is pressed and the mouse moves).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "gallery/View.h"

namespace vorlane {

class ImageListHandle;

class TListViewControl final : public GalleryView {
public:
    TListViewControl(HWND parent, int id);
    ~TListViewControl() override;

    HWND Handle() const { return hwnd_; }

    void BeginUpdate() override;
    void EndUpdate() override;
    void Clear() override;
    void SetLargeImages(TImageList* images) override;
    void AddItem(const std::string& caption, int imageIndex) override;
    std::optional<int> SelectedIndex() const override;
    std::optional<int> DropTargetIndex() const override;

    int Count() const;
    void Select(std::optional<int> index);

    // Called when one of the list's own items is dropped on the list; DropTargetIndex() names the item
    // under the mouse (none outside any item) while it runs.
    std::function<void()> OnDragDrop;

    // The list's notices, which reach its parent: true when handled here.
    bool Notify(const NMHDR& notice);

private:
    static LRESULT CALLBACK Subclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    std::optional<int> ItemAt(POINT client) const;
    // Marks `item` as the drop target: highlighted, with the insertion mark before it.
    void Highlight(std::optional<int> item);
    void MarkInsertion(std::optional<int> before);
    bool OwnMarkArea(int item, RECT& area) const;
    bool OwnMarkMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Ends a drag over `target`, as a drop does.
    void DropOn(std::optional<int> target);
    void EndDrag();

    HWND hwnd_;
    std::unique_ptr<ImageListHandle> images_;
    int updateDepth_ = 0;
    bool dragging_ = false;
    std::optional<int> highlighted_;
    std::optional<int> dropTarget_;
    static constexpr LONG OwnMarkWidth = 2;
    bool ownMark_ = false; // the control keeps no insertion mark: the list draws its own
    std::optional<int> markedBefore_;
};

} // namespace vorlane
