// The event loop of the window thread, seen from code that waits inside a command: processing what is
// pending, waiting for the next event, window timers, and the application's central exception handler.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>

#include "platform/MessageWindow.h"

namespace vorlane {

// Handles every event that is pending now (timer ticks, socket notices, posted messages, input).
void ProcessMessages();

// Whether the event being handled now was handed to its handler by a modal loop that another handler
// started inside a ProcessMessages pass (a menu, a message box, a dialog), rather than by the pass
// itself: the wait that runs the pass cannot look at anything until that loop has ended, so a time-out
// that must hold acts in its own handler then.
bool HandledBeneathModalLoop();

// Waits until at least one event has been handled or `maxMilliseconds` have passed, whichever comes
// first, handling what is pending. On Qt's event loop it needs a running application object
// (QCoreApplication).
void WaitForEvents(int maxMilliseconds);

// Window timers: every `intervalMs` milliseconds `window` receives WM_TIMER with wParam = id, until
// KillTimer. Setting a timer that exists restarts it with the new interval; an interval above
// 2147483647 ms runs with that longest period. False when no timer can be had (no event loop on this
// thread, or an interval of 0).
bool SetTimer(WindowHandle window, uint32_t id, uint32_t intervalMs);
// Stops the timer; a timer that does not run is no error.
void KillTimer(WindowHandle window, uint32_t id);

// The application's central handler for exceptions that escape an event handler (a timer tick, a
// command). The application installs its own; the default writes the message to standard error.
using ExceptionHandler = std::function<void(std::exception_ptr)>;
void SetExceptionHandler(ExceptionHandler handler);
// Hands the exception to the installed handler; never throws.
void HandleException(std::exception_ptr error) noexcept;

} // namespace vorlane
