// Private to the Windows event layer: the system's headers, with the names that the layer's public
// headers declare for themselves (SendMessage, PostMessage, the message numbers, the socket events and
// error codes) taken back from the macros the system gives them. The real calls are named here with
// their ANSI names (SendMessageA, PostMessageA) and the numbers are the layer's own constants, of the same
// values.
#pragma once

#include <winsock2.h>
#include <windows.h>

#undef SendMessage
#undef PostMessage
#undef WM_COPYDATA
#undef WM_TIMER
#undef WM_USER
#undef FD_READ
#undef FD_WRITE
#undef FD_OOB
#undef FD_ACCEPT
#undef FD_CONNECT
#undef FD_CLOSE
#undef WSAEWOULDBLOCK
#undef WSAEALREADY
#undef WSAENOTCONN
#undef WSAHOST_NOT_FOUND

#include <cstdint>
#include <exception>

#include "platform/MessageWindow.h"

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

// An exception that left a target's handler: the window procedure keeps it, so that it never unwinds
// through the system's frames, for whoever called into the system on this thread to take: the
// SendMessage that sent the message rethrows it; the event loop hands it to the central handler.
void KeepEscaped(std::exception_ptr error) noexcept;
std::exception_ptr TakeEscaped() noexcept;

} // namespace vorlane::win32
