// Message targets on Windows: message-only windows (parent HWND_MESSAGE) of one window class, each
// holding its handler. Messages reach a handler through the system's own SendMessage, PostMessage and
// DispatchMessage, so that other programs' windows are targets too (the direct SSTP exchange).
#include "platform/MessageWindow.h"

#include <memory>
#include <utility>

#include "platform/EventLoop.h"
#include "platform/win32/WinApi.h"

namespace vorlane {
namespace {

constexpr const char* ClassName = "VorlaneMessageWindow";
// Asks a target owned by another thread to destroy itself: only the owner may.
constexpr uint32_t DestroyRequest = 0x7FFE;

thread_local std::exception_ptr escaped;
thread_local bool beneathModalLoop = false; // of the message a handler handles now

using HandlerSlot = std::shared_ptr<MessageHandler>;

HandlerSlot* SlotOf(HWND window)
{
    return reinterpret_cast<HandlerSlot*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// The messages a handler sees: what this process's code sends, posts or times (numbers from WM_USER
// up, WM_TIMER) and the copy-data message. The window's own housekeeping (creation, destruction,
// activation) stays with the system.
bool ForTheHandler(UINT message)
{
    return message >= WM_USER || message == WM_TIMER || message == WM_COPYDATA;
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    HandlerSlot* slot = SlotOf(window);
    if (message == WM_NCDESTROY && slot) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        delete slot;
        slot = nullptr;
    }
    if (message == DestroyRequest && slot) {
        ::DestroyWindow(window);
        return 0;
    }
    if (!slot || !ForTheHandler(message))
        return DefWindowProcA(window, message, wParam, lParam);
    // The handler stays alive for the call even when it destroys its own window.
    const HandlerSlot handler = *slot;
    CopyDataStruct record;
    if (message == WM_COPYDATA && lParam != 0) {
        // The system's record has a pointer-sized identifier; handlers read this layer's record.
        const auto* system = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        record.dwData = static_cast<uint32_t>(system->dwData);
        record.cbData = system->cbData;
        record.lpData = system->lpData;
        lParam = reinterpret_cast<LPARAM>(&record);
    }
    const bool outer = std::exchange(beneathModalLoop, win32::InPass() && !win32::DispatchedByPass(window, message));
    try {
        const LRESULT result = (*handler)(message, wParam, lParam);
        beneathModalLoop = outer;
        return result;
    } catch (...) {
        beneathModalLoop = outer;
        win32::KeepEscaped(std::current_exception());
        return 0;
    }
}

ATOM WindowClass()
{
    static const ATOM atom = [] {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = WindowProcedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = ClassName;
        return RegisterClassExA(&windowClass);
    }();
    return atom;
}

// A window of this process made by AllocateWindow.
bool IsOwnTarget(HWND window)
{
    DWORD process = 0;
    return ::IsWindow(window) && GetWindowThreadProcessId(window, &process) != 0 && process == GetCurrentProcessId() &&
           GetClassLongPtrA(window, GCW_ATOM) == WindowClass();
}

} // namespace

namespace win32 {

DWORD LoopThread()
{
    static const DWORD thread = GetCurrentThreadId();
    return thread;
}

void KeepEscaped(std::exception_ptr error) noexcept
{
    escaped = std::move(error);
}

std::exception_ptr TakeEscaped() noexcept
{
    return std::exchange(escaped, nullptr);
}

} // namespace win32

bool HandledBeneathModalLoop()
{
    return beneathModalLoop;
}

WindowHandle AllocateWindow(MessageHandler handler)
{
    if (!handler || WindowClass() == 0)
        return 0;
    win32::LoopThread();
    const HWND window =
        CreateWindowExA(0, ClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window)
        return 0;
    SetWindowLongPtrA(
        window, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(new HandlerSlot(std::make_shared<MessageHandler>(std::move(handler)))));
    return win32::FromHwnd(window);
}

void DestroyWindow(WindowHandle window)
{
    const HWND hwnd = win32::ToHwnd(window);
    if (window == 0 || !IsOwnTarget(hwnd))
        return;
    if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId())
        ::DestroyWindow(hwnd); // the system drops what is still queued for it
    else
        PostMessageA(hwnd, DestroyRequest, 0, 0);
}

bool IsWindow(WindowHandle window)
{
    return window != 0 && ::IsWindow(win32::ToHwnd(window));
}

intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (!IsWindow(window))
        return 0;
    COPYDATASTRUCT system{};
    if (message == WM_COPYDATA && lParam != 0) {
        const CopyDataStruct* record = CopyDataOf(lParam);
        system.dwData = record->dwData;
        system.cbData = record->cbData;
        system.lpData = const_cast<void*>(record->lpData);
        lParam = reinterpret_cast<intptr_t>(&system);
    }
    const LRESULT result = SendMessageA(win32::ToHwnd(window), message, wParam, lParam);
    if (std::exception_ptr error = win32::TakeEscaped())
        std::rethrow_exception(error);
    return result;
}

bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    return window != 0 && PostMessageA(win32::ToHwnd(window), message, wParam, lParam) != FALSE;
}

} // namespace vorlane
