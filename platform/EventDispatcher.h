// Private to the event layer: the one QObject that carries posted messages and window timers on the
// thread that runs the event loop.
#pragma once

#include <QEvent>
#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <utility>

#include "platform/MessageWindow.h"

namespace vorlane::detail {

class EventDispatcher : public QObject {
public:
    // Created on first use, on the calling thread, and kept for the rest of the process: lookups that
    // end after the application object is gone still have somewhere to post.
    static EventDispatcher& Instance();

    // Queues a message. `beforeDelivery`, when set, runs on the loop thread just before the message is
    // handed over; returning false drops the message. Safe from any thread.
    void Post(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam,
              std::function<bool()> beforeDelivery = {});

    bool SetTimer(WindowHandle window, uint32_t id, uint32_t intervalMs);
    void KillTimer(WindowHandle window, uint32_t id);

    // A one-shot wake-up for a bounded wait; 0 when no timer can be had.
    int StartWakeTimer(int milliseconds);
    void StopWakeTimer(int id);

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    EventDispatcher() = default;

    std::map<int, std::pair<WindowHandle, uint32_t>> timers_; // Qt timer id -> (window, timer id)
    std::map<std::pair<WindowHandle, uint32_t>, int> timerIds_;
};

} // namespace vorlane::detail
