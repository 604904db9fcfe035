#include "app/win32/ToolBar.h"

#include <commctrl.h>

#include <vector>

#include "app/MainWindowLayout.h"
#include "app/win32/Dpi.h"
#include "app/win32/ImageListHandle.h"
#include "app/win32/MainMenu.h"
#include "gallery/ImageList.h"

namespace vorlane {

TToolBar::TToolBar(HWND parent, int id, const TImageList& images, std::span<const ToolButtonLayout> buttons)
    : hwnd_(CreateWindowExA(0, TOOLBARCLASSNAMEA, "",
                            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT | CCS_TOP, 0, 0,
                            0, 0, parent, HMENU(INT_PTR(id)), GetModuleHandleA(nullptr), nullptr)),
      images_(std::make_unique<ImageListHandle>(images, Scaled(images.Width()), Scaled(images.Height()))),
      buttons_(buttons)
{
    SendMessageA(hwnd_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(hwnd_, TB_SETIMAGELIST, 0, LPARAM(images_->Get()));
    SendMessageA(hwnd_, TB_SETBITMAPSIZE, 0, MAKELONG(Scaled(ButtonPictureSize), Scaled(ButtonPictureSize)));
    std::vector<TBBUTTON> added;
    for (const ToolButtonLayout& button : buttons) {
        TBBUTTON& b = added.emplace_back();
        b.iBitmap = button.Image;
        b.idCommand = CommandId(button.Control);
        b.fsState = TBSTATE_ENABLED;
        b.fsStyle = BTNS_BUTTON;
        b.iString = INT_PTR(button.Caption);
    }
    SendMessageA(hwnd_, TB_ADDBUTTONSA, WPARAM(added.size()), LPARAM(added.data()));
    SendMessageA(hwnd_, TB_SETBUTTONSIZE, 0, MAKELONG(Scaled(ToolButtonWidth), Scaled(ToolButtonHeight)));
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
    for (const ToolButtonLayout& button : buttons_)
        if (UINT_PTR(CommandId(button.Control)) == notice.idFrom && button.ShowHint)
            info.lpszText = const_cast<char*>(button.Hint);
    return true;
}

} // namespace vorlane
