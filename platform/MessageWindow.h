// Numbered message targets ("windows") of this process: a handle names one target, and a message sent
// or posted to it runs the target's handler on the thread that runs the event loop. The socket client's
// notices, its timer ticks and the direct SSTP exchange all arrive this way.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

// <windows.h> names the calls and message numbers below as macros (SendMessage is SendMessageA or
// SendMessageW); these declarations are this layer's own, whatever was included before.
#pragma push_macro("SendMessage")
#pragma push_macro("PostMessage")
#pragma push_macro("WM_COPYDATA")
#pragma push_macro("WM_TIMER")
#pragma push_macro("WM_USER")
#undef SendMessage
#undef PostMessage
#undef WM_COPYDATA
#undef WM_TIMER
#undef WM_USER

namespace vorlane {

// 0 names no target. Handles are never reused within a run, so a message for a destroyed target
// cannot reach a later one. (On Windows they are the system's window handles, of which 32 bits count:
// one comes back only after its slot has been used 65,536 times.)
using WindowHandle = uint32_t;

// Message numbers with a fixed meaning.
inline constexpr uint32_t WM_COPYDATA = 74;
inline constexpr uint32_t WM_TIMER = 275;
inline constexpr uint32_t WM_USER = 1024;

// (message, wParam, lParam) -> result.
using MessageHandler = std::function<intptr_t(uint32_t message, uintptr_t wParam, intptr_t lParam)>;

// A new target bound to the handler; 0 when the handler is empty.
WindowHandle AllocateWindow(MessageHandler handler);
// Removes the target; messages still queued for it are dropped. Unknown handles are ignored.
void DestroyWindow(WindowHandle window);
bool IsWindow(WindowHandle window);

// Runs the target's handler now and returns its result; 0 when no such target exists.
intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Queues the message for the event loop; false when no such target exists. Safe from any thread.
bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// The copy-data message: WM_COPYDATA with the sender's handle as wParam and the address of this record
// as lParam. The record and its bytes are valid only while the receiver's handler runs.
struct CopyDataStruct {
    uint32_t dwData = 0; // identifier chosen by the sender
    uint32_t cbData = 0; // number of bytes at lpData
    const void* lpData = nullptr;
};

// Sends `bytes` with identifier `id` to `target` synchronously; returns the handler's result.
intptr_t SendCopyData(WindowHandle target, WindowHandle sender, uint32_t id, std::string_view bytes);

// The record a WM_COPYDATA handler receives in lParam (null when lParam is 0).
inline const CopyDataStruct* CopyDataOf(intptr_t lParam)
{
    return reinterpret_cast<const CopyDataStruct*>(lParam);
}

} // namespace vorlane

#pragma pop_macro("SendMessage")
#pragma pop_macro("PostMessage")
#pragma pop_macro("WM_COPYDATA")
#pragma pop_macro("WM_TIMER")
#pragma pop_macro("WM_USER")
