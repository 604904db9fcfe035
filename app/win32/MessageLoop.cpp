#include "app/win32/MessageLoop.h"

#include <windows.h>

#include "app/win32/MaonFormUnit.h"
#include "platform/EventLoop.h"

namespace vorlane {
namespace {

bool TakeQuit(int& code)
{
    MSG message;
    if (!PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        return false;
    code = int(message.wParam);
    return true;
}

} // namespace

// The event layer's ProcessMessages hands out what is pending (and an exception that escaped a handler
// to the central handler); it leaves the quit message for this loop.
int RunMessageLoop(TMainForm& form)
{
    for (int code = 0;;) {
        if (TakeQuit(code))
            return code;
        ProcessMessages();
        if (TakeQuit(code))
            return code;
        HANDLE watch = form.GalleryWatch();
        const DWORD woken = MsgWaitForMultipleObjectsEx(watch ? 1 : 0, watch ? &watch : nullptr, INFINITE, QS_ALLINPUT,
                                                        MWMO_INPUTAVAILABLE);
        if (watch && woken == WAIT_OBJECT_0)
            form.GalleryWatchSignalled();
    }
}

} // namespace vorlane
