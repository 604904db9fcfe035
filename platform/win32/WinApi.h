// Private to the Windows event layer: the system's headers after the layer's own, whose declarations
// keep their names whatever the system's macros say. Its constants (message numbers, socket events,
// error codes) have the values of the system's macros of the same names; the calls SendMessage and
// PostMessage, which the system's headers rename to their ANSI or wide forms, are taken back, and the
// real ones are named by their ANSI names (SendMessageA, PostMessageA).
#pragma once

#include "platform/AsyncSocket.h"
#include "platform/MessageWindow.h"

#include <winsock2.h>
#include <windows.h>

#undef SendMessage
#undef PostMessage

#include <cstdint>
#include <exception>
#include <functional>

namespace vorlane::win32 {

// A target's handle is the system's window handle: 32 bits of it are significant, so that 32-bit and
// 64-bit programs can hand window handles to each other.
inline HWND ToHwnd(WindowHandle window)
{
    return static_cast<HWND>(LongToHandle(static_cast<LONG>(window)));
}
inline WindowHandle FromHwnd(HWND window)
{
    return static_cast<WindowHandle>(HandleToULong(window));
}

// The thread that runs the event loop: the first that made a message target. Only it gets timers.
DWORD LoopThread();

// The waits handle what is pending in passes (one ProcessMessages each) and look at their state where a
// pass ends. Whether a pass runs now; a number that changes wherever a pass begins or ends; and work put
// off until the running pass has ended: what must not be seen without a wait having looked in between.
// The work is queued as a message when the pass ends, so the application's own message loop runs it too.
bool InPass();
// Whether the innermost pass is handing out this message to this window now; when a handler runs
// during a pass for any other, a modal loop beneath the pass handed it out.
bool DispatchedByPass(HWND window, UINT message);
uint64_t CurrentPass();
void DeferToNextPass(std::function<void()> work);

// An exception that left a target's handler: the window procedure keeps it, so that it never unwinds
// through the system's frames, for whoever called into the system on this thread to take: the
// SendMessage that sent the message rethrows it; the event loop hands it to the central handler.
void KeepEscaped(std::exception_ptr error) noexcept;
std::exception_ptr TakeEscaped() noexcept;

} // namespace vorlane::win32
