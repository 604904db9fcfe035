// The event loop on Windows: the thread's message queue, read with PeekMessageW and handed out with
// DispatchMessageW, and the system's window timers.
#include "platform/EventLoop.h"

#include <utility>
#include <vector>

#include "platform/win32/WinApi.h"

namespace vorlane {
namespace {

thread_local int passesRunning = 0; // more than one when a handler waits itself
thread_local uint64_t pass = 0;     // counts where passes begin and end: where a wait may look
thread_local std::vector<std::function<void()>> deferred;
thread_local const MSG* dispatching = nullptr; // what the innermost pass is handing out now

void RunDeferred()
{
    for (auto& work : std::exchange(deferred, {})) {
        try {
            work();
        } catch (...) {
            HandleException(std::current_exception());
        }
    }
}

// The target whose message runs the work put off during a pass.
WindowHandle DeferredRunner()
{
    static const WindowHandle runner = AllocateWindow([](uint32_t, uintptr_t, intptr_t) -> intptr_t {
        RunDeferred();
        return 0;
    });
    return runner;
}

// An exception that a handler let escape while the system dispatched to it goes to the central handler.
void HandleEscaped()
{
    if (std::exception_ptr error = win32::TakeEscaped())
        HandleException(error);
}

// Any thread of the system may own windows and timers, but only the loop thread's queue is read.
bool OwnedByTheLoopThread(WindowHandle window)
{
    return IsWindow(window) && GetCurrentThreadId() == win32::LoopThread() &&
           GetWindowThreadProcessId(win32::ToHwnd(window), nullptr) == GetCurrentThreadId();
}

} // namespace

namespace win32 {

bool InPass()
{
    return passesRunning > 0;
}

uint64_t CurrentPass()
{
    return pass;
}

bool DispatchedByPass(HWND window, UINT message)
{
    return dispatching && dispatching->hwnd == window && dispatching->message == message;
}

void DeferToNextPass(std::function<void()> work)
{
    deferred.push_back(std::move(work));
}

} // namespace win32

void ProcessMessages()
{
    ++passesRunning;
    ++pass;
    MSG message;
    // Read and handed out as UTF-16, so that each window gets typed text in its own form: read by the
    // ANSI calls, a double-byte character would reach a Unicode window as two single bytes.
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // The quit belongs to the application's own loop, outside whatever waits here.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        TranslateMessage(&message);
        const MSG* outer = std::exchange(dispatching, &message);
        DispatchMessageW(&message);
        dispatching = outer;
        HandleEscaped();
    }
    HandleEscaped(); // from a message another thread sent while the queue was read
    ++pass;
    --passesRunning;
    if (!deferred.empty())
        PostMessage(DeferredRunner(), WM_USER, 0, 0);
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
    if (intervalMs == 0 || !OwnedByTheLoopThread(window))
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
