#include "app/win32/MessageLoop.h"

#include <windows.h>

#include "app/win32/MaonFormUnit.h"

namespace vorlane {

int RunMessageLoop(TMainForm& form)
{
    for (;;) {
        HANDLE watch = form.GalleryWatch();
        const DWORD woken =
            MsgWaitForMultipleObjectsEx(watch ? 1 : 0, watch ? &watch : nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (watch && woken == WAIT_OBJECT_0) {
            form.GalleryWatchSignalled();
            continue;
        }
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                return int(message.wParam);
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

} // namespace vorlane
