// A modal loop on Windows: the system's own reading of the queue, as a menu or a message box runs it.
#include "tests/socket/SocketTestSupport.h"

#include <windows.h>

namespace vorlane::test {

bool RunModalLoopUntil(const std::function<bool()>& done, int deadlineMs)
{
    const ULONGLONG end = GetTickCount64() + ULONGLONG(deadlineMs);
    while (!done() && GetTickCount64() < end) {
        MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return done();
}

} // namespace vorlane::test
