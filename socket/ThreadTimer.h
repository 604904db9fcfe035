// TThreadTimer: a component that fires OnTimer every Interval milliseconds on the window thread. It
// runs only while Enabled is true, Interval is not 0 and OnTimer is assigned.
#pragma once

#include <cstdint>
#include <functional>

#include "component/Component.h"
#include "platform/MessageWindow.h"

namespace vorlane {

using TNotifyEvent = std::function<void(TComponent* sender)>;

class TThreadTimer : public TComponent {
public:
    explicit TThreadTimer(TComponent* owner = nullptr);
    ~TThreadTimer() override;

    std::string ClassName() const override { return "TThreadTimer"; }
    std::vector<PublishedProperty> PublishedProperties() override;

    // Setting a value equal to the current one does nothing; any change stops the timer and, when it
    // may run, starts a fresh full period. Raises Exception "No Timer" when no timer can be had.
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    uint32_t Interval() const { return interval_; }
    void SetInterval(uint32_t interval);
    // Always re-evaluates the timer, even for the same handler.
    const TNotifyEvent& OnTimer() const { return onTimer_; }
    void SetOnTimer(TNotifyEvent handler);

    // Whether the platform timer runs now.
    bool Running() const { return running_; }
    WindowHandle Window() const { return window_; }

protected:
    // One tick: fires OnTimer, which may free the timer. An exception from it goes to the central
    // exception handler.
    virtual void Timer();

private:
    void RestartTimer();
    intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);

    bool enabled_ = true;
    uint32_t interval_ = 1000;
    TNotifyEvent onTimer_;
    WindowHandle window_ = 0;
    bool running_ = false;
    std::string onTimerName_;
};

} // namespace vorlane
