#include "app/win32/ListViewControl.h"

#include <commctrl.h>

#include <algorithm>

#include "app/win32/Dpi.h"
#include "app/win32/ImageListHandle.h"
#include "gallery/ImageList.h"

namespace vorlane {

TListViewControl::TListViewControl(HWND parent, int id)
    : hwnd_(CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_ICON | LVS_SINGLESEL |
                                LVS_SHOWSELALWAYS | LVS_AUTOARRANGE,
                            0, 0, 0, 0, parent, HMENU(INT_PTR(id)), GetModuleHandleA(nullptr), nullptr))
{
    SetWindowSubclass(hwnd_, Subclass, 1, DWORD_PTR(this));
}

TListViewControl::~TListViewControl()
{
    RemoveWindowSubclass(hwnd_, Subclass, 1);
    SendMessageA(hwnd_, LVM_SETIMAGELIST, LVSIL_NORMAL, 0);
}

void TListViewControl::BeginUpdate()
{
    if (updateDepth_++ == 0)
        SendMessageA(hwnd_, WM_SETREDRAW, FALSE, 0);
}

void TListViewControl::EndUpdate()
{
    if (updateDepth_ > 0 && --updateDepth_ == 0) {
        SendMessageA(hwnd_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(hwnd_, nullptr, TRUE);
    }
}

void TListViewControl::Clear()
{
    SendMessageA(hwnd_, LVM_DELETEALLITEMS, 0, 0);
}

void TListViewControl::SetLargeImages(TImageList* images)
{
    // The control draws from a copy, at the screen's DPI; the gallery hands its list again after every change.
    std::unique_ptr<ImageListHandle> copy =
        images ? std::make_unique<ImageListHandle>(*images, Scaled(images->Width()), Scaled(images->Height()))
               : nullptr;
    SendMessageA(hwnd_, LVM_SETIMAGELIST, LVSIL_NORMAL, LPARAM(copy ? copy->Get() : nullptr));
    images_ = std::move(copy);
}

void TListViewControl::AddItem(const std::string& caption, int imageIndex)
{
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = Count();
    item.pszText = const_cast<char*>(caption.c_str());
    item.iImage = imageIndex;
    SendMessageA(hwnd_, LVM_INSERTITEMA, 0, LPARAM(&item));
}

int TListViewControl::Count() const
{
    return int(SendMessageA(hwnd_, LVM_GETITEMCOUNT, 0, 0));
}

std::optional<int> TListViewControl::SelectedIndex() const
{
    const int index = int(SendMessageA(hwnd_, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
    return index < 0 ? std::nullopt : std::optional<int>(index);
}

void TListViewControl::Select(std::optional<int> index)
{
    LVITEMA state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = 0;
    SendMessageA(hwnd_, LVM_SETITEMSTATE, WPARAM(-1), LPARAM(&state));
    if (index) {
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(hwnd_, LVM_SETITEMSTATE, WPARAM(*index), LPARAM(&state));
    }
}

std::optional<int> TListViewControl::DropTargetIndex() const
{
    return dropTarget_;
}

void TListViewControl::DropOn(std::optional<int> target)
{
    dropTarget_ = target;
    if (OnDragDrop)
        OnDragDrop();
    dropTarget_.reset();
}

bool TListViewControl::Notify(const NMHDR& notice)
{
    if (notice.hwndFrom != hwnd_ || notice.code != LVN_BEGINDRAG)
        return false;
    // The pressed item becomes the selected one, which is what the drop moves.
    Select(reinterpret_cast<const NMLISTVIEW&>(notice).iItem);
    dragging_ = true;
    SetCapture(hwnd_);
    return true;
}

std::optional<int> TListViewControl::ItemAt(POINT client) const
{
    LVHITTESTINFO hit{};
    hit.pt = client;
    const int index = int(SendMessageA(hwnd_, LVM_HITTEST, 0, LPARAM(&hit)));
    if (index < 0 || !(hit.flags & LVHT_ONITEM))
        return std::nullopt;
    return index;
}

void TListViewControl::Highlight(std::optional<int> item)
{
    if (item == highlighted_)
        return;
    LVITEMA state{};
    state.stateMask = LVIS_DROPHILITED;
    if (highlighted_)
        SendMessageA(hwnd_, LVM_SETITEMSTATE, WPARAM(*highlighted_), LPARAM(&state));
    highlighted_ = item;
    if (item) {
        state.state = LVIS_DROPHILITED;
        SendMessageA(hwnd_, LVM_SETITEMSTATE, WPARAM(*item), LPARAM(&state));
    }
    // The dragged item goes just before the one it is dropped on.
    MarkInsertion(item);
}

void TListViewControl::MarkInsertion(std::optional<int> before)
{
    LVINSERTMARK mark{sizeof mark, 0, before.value_or(-1), 0};
    if (!ownMark_ && SendMessageA(hwnd_, LVM_SETINSERTMARK, 0, LPARAM(&mark))) {
        LVINSERTMARK shown{sizeof shown, 0, -1, 0};
        if (SendMessageA(hwnd_, LVM_GETINSERTMARK, 0, LPARAM(&shown)) && shown.iItem == mark.iItem)
            return; // the control shows it
    }
    // A control that keeps no insertion mark (wine's): the list draws its own.
    ownMark_ = true;
    if (before == markedBefore_)
        return;
    for (const std::optional<int>& item : {markedBefore_, before})
        if (RECT area; item && OwnMarkArea(*item, area))
            InvalidateRect(hwnd_, &area, TRUE);
    markedBefore_ = before;
}

// A vertical bar in the gap left of the item, as tall as the item with its caption.
bool TListViewControl::OwnMarkArea(int item, RECT& area) const
{
    area.left = LVIR_BOUNDS;
    if (!SendMessageA(hwnd_, LVM_GETITEMRECT, WPARAM(item), LPARAM(&area)))
        return false;
    area.left = std::max(0L, area.left - OwnMarkWidth);
    area.right = area.left + OwnMarkWidth;
    return true;
}

// The list's own mark, drawn over what the control painted; the control's insertion-mark messages
// are answered for it.
bool TListViewControl::OwnMarkMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_PAINT:
        result = DefSubclassProc(hwnd_, message, wParam, lParam);
        if (RECT area; markedBefore_ && OwnMarkArea(*markedBefore_, area)) {
            HDC dc = GetDC(hwnd_);
            FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOWTEXT));
            ReleaseDC(hwnd_, dc);
        }
        return true;
    case LVM_GETINSERTMARK: {
        auto* mark = reinterpret_cast<LVINSERTMARK*>(lParam);
        result = mark && mark->cbSize == sizeof *mark;
        if (result) {
            mark->dwFlags = 0;
            mark->iItem = markedBefore_.value_or(-1);
        }
        return true;
    }
    case LVM_GETINSERTMARKRECT: {
        RECT* area = reinterpret_cast<RECT*>(lParam);
        result = area && markedBefore_ && OwnMarkArea(*markedBefore_, *area);
        return true;
    }
    default:
        return false;
    }
}

void TListViewControl::EndDrag()
{
    dragging_ = false;
    Highlight(std::nullopt);
    if (GetCapture() == hwnd_)
        ReleaseCapture();
}

LRESULT CALLBACK TListViewControl::Subclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR self)
{
    auto* list = reinterpret_cast<TListViewControl*>(self);
    if (LRESULT result = 0; list && list->ownMark_ && list->OwnMarkMessage(message, wParam, lParam, result))
        return result;
    if (list && list->dragging_)
        return list->WindowProc(message, wParam, lParam);
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

// While a drag runs, the list holds the mouse: it marks the item under it as the drop target, and a drop
// inside the list ends the drag there. A release outside the list, Escape or a lost capture drops nothing.
LRESULT TListViewControl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const POINT at{short(LOWORD(lParam)), short(HIWORD(lParam))};
    RECT client;
    GetClientRect(hwnd_, &client);
    switch (message) {
    case WM_MOUSEMOVE:
        Highlight(PtInRect(&client, at) ? ItemAt(at) : std::nullopt);
        SetCursor(LoadCursor(nullptr, PtInRect(&client, at) ? IDC_ARROW : IDC_NO));
        return 0;
    case WM_LBUTTONUP: {
        const bool inside = PtInRect(&client, at);
        const std::optional<int> target = inside ? ItemAt(at) : std::nullopt;
        EndDrag();
        if (inside)
            DropOn(target);
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE)
            EndDrag();
        return 0;
    case WM_CAPTURECHANGED:
        if (HWND(lParam) != hwnd_) {
            dragging_ = false;
            Highlight(std::nullopt);
        }
        return 0;
    default:
        return DefSubclassProc(hwnd_, message, wParam, lParam);
    }
}

} // namespace vorlane
