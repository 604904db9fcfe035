// The event loop on Windows: the thread's message queue, read with PeekMessage and handed out with
// DispatchMessage, and the system's window timers.
#include "platform/EventLoop.h"

#include "platform/win32/WinApi.h"

namespace vorlane {
namespace {

// An exception that a handler let escape while the system dispatched to it goes to the central handler.
void HandleEscaped()
{
    if (std::exception_ptr error = win32::TakeEscaped())
        HandleException(error);
}

bool OwnedByThisThread(WindowHandle window)
{
    return IsWindow(window) && GetWindowThreadProcessId(win32::ToHwnd(window), nullptr) == GetCurrentThreadId();
}

} // namespace

void ProcessMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // The quit belongs to the application's own loop, outside whatever waits here.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
        HandleEscaped();
    }
    HandleEscaped(); // from a message another thread sent while the queue was read
}

void WaitForEvents(int maxMilliseconds)
{
    const DWORD bound = maxMilliseconds < 0 ? 0 : static_cast<DWORD>(maxMilliseconds);
    MsgWaitForMultipleObjectsEx(0, nullptr, bound, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    ProcessMessages();
}

bool SetTimer(WindowHandle window, uint32_t id, uint32_t intervalMs)
{
    KillTimer(window, id);
    // The system runs a timer's ticks on the thread that owns its window, and only there.
    if (intervalMs == 0 || !OwnedByThisThread(window))
        return false;
    const UINT period = intervalMs > USER_TIMER_MAXIMUM ? USER_TIMER_MAXIMUM : intervalMs;
    return ::SetTimer(win32::ToHwnd(window), id, period, nullptr) != 0;
}

void KillTimer(WindowHandle window, uint32_t id)
{
    if (IsWindow(window))
        ::KillTimer(win32::ToHwnd(window), id);
}

} // namespace vorlane
