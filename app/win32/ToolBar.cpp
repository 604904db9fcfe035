#include "app/win32/ToolBar.h"

#include <commctrl.h>

#include <vector>

#include "app/win32/ImageListHandle.h"

namespace vorlane {

TToolBar::TToolBar(HWND parent, int id, const TImageList& images, const ToolButtonLayout* buttons, int count)
    : hwnd_(CreateWindowExA(0, TOOLBARCLASSNAMEA, "",
                            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT | CCS_TOP,
                            0, 0, 0, 0, parent, HMENU(INT_PTR(id)), GetModuleHandleA(nullptr), nullptr)),
      images_(std::make_unique<ImageListHandle>(images)),
      buttons_(buttons),
      count_(count)
{
    SendMessageA(hwnd_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(hwnd_, TB_SETIMAGELIST, 0, LPARAM(images_->Get()));
    SendMessageA(hwnd_, TB_SETBITMAPSIZE, 0, MAKELONG(32, 32));
    std::vector<TBBUTTON> added(size_t(count), TBBUTTON{});
    for (int i = 0; i < count; ++i) {
        added[size_t(i)].iBitmap = buttons[i].image;
        added[size_t(i)].idCommand = buttons[i].command;
        added[size_t(i)].fsState = TBSTATE_ENABLED;
        added[size_t(i)].fsStyle = BTNS_BUTTON;
        added[size_t(i)].iString = INT_PTR(buttons[i].caption);
    }
    SendMessageA(hwnd_, TB_ADDBUTTONSA, WPARAM(count), LPARAM(added.data()));
    SendMessageA(hwnd_, TB_SETBUTTONSIZE, 0, MAKELONG(55, 51));
    SendMessageA(hwnd_, TB_AUTOSIZE, 0, 0);
}

TToolBar::~TToolBar()
{
    SendMessageA(hwnd_, TB_SETIMAGELIST, 0, 0);
}

int TToolBar::Height() const
{
    RECT bounds;
    GetWindowRect(hwnd_, &bounds);
    return bounds.bottom - bounds.top;
}

bool TToolBar::Notify(NMHDR& notice)
{
    if (notice.code != TTN_GETDISPINFOA)
        return false;
    auto& info = reinterpret_cast<NMTTDISPINFOA&>(notice);
    info.lpszText = const_cast<char*>("");
    info.szText[0] = '\0';
    for (int i = 0; i < count_; ++i)
        if (UINT_PTR(buttons_[i].command) == notice.idFrom && buttons_[i].showHint)
            info.lpszText = const_cast<char*>(buttons_[i].hint);
    return true;
}

} // namespace vorlane
