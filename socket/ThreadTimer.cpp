#include "socket/ThreadTimer.h"

#include "platform/EventLoop.h"
#include "platform/Exceptions.h"
#include "socket/FireEvent.h"

namespace vorlane {
namespace {

constexpr uint32_t TimerId = 1;
constexpr uint32_t WM_ACTIVATEAPP = 28;

} // namespace

TThreadTimer::TThreadTimer(TComponent* owner) : TComponent(owner)
{
    window_ = AllocateWindow(
        [this](uint32_t message, uintptr_t wParam, intptr_t lParam) { return WindowProc(message, wParam, lParam); });
}

TThreadTimer::~TThreadTimer()
{
    enabled_ = false;
    KillTimer(window_, TimerId);
    running_ = false;
    DestroyWindow(window_);
}

void TThreadTimer::SetEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    RestartTimer();
}

void TThreadTimer::SetInterval(uint32_t interval)
{
    if (interval == interval_)
        return;
    interval_ = interval;
    RestartTimer();
}

void TThreadTimer::SetOnTimer(TNotifyEvent handler)
{
    onTimer_ = std::move(handler);
    RestartTimer();
}

void TThreadTimer::RestartTimer()
{
    KillTimer(window_, TimerId);
    running_ = false;
    if (interval_ != 0 && enabled_ && onTimer_) {
        if (!SetTimer(window_, TimerId, interval_))
            throw Exception("No Timer");
        running_ = true;
    }
}

void TThreadTimer::Timer()
{
    FireEvent(onTimer_, this);
}

intptr_t TThreadTimer::WindowProc(uint32_t message, uintptr_t, intptr_t)
{
    if (message == WM_ACTIVATEAPP)
        return 0;
    if (message == WM_TIMER) {
        try {
            Timer();
        } catch (...) {
            HandleException(std::current_exception());
        }
    }
    return 0;
}

std::vector<PublishedProperty> TThreadTimer::PublishedProperties()
{
    auto properties = TComponent::PublishedProperties();

    PublishedProperty interval;
    interval.name = "Interval";
    interval.kind = PropertyKind::Integer;
    interval.defaultValue = 1000;
    interval.getInteger = [this] { return static_cast<int32_t>(interval_); };
    interval.setInteger = [this](int32_t value) { SetInterval(static_cast<uint32_t>(value)); };
    properties.push_back(std::move(interval));

    PublishedProperty onTimer;
    onTimer.name = "OnTimer";
    onTimer.kind = PropertyKind::Event;
    onTimer.getString = [this] { return onTimer_ ? onTimerName_ : std::string(); };
    onTimer.setString = [this](const std::string& name) { onTimerName_ = name; };
    properties.push_back(std::move(onTimer));

    PublishedProperty enabled;
    enabled.name = "Enabled";
    enabled.kind = PropertyKind::Boolean;
    enabled.defaultValue = 1;
    enabled.getInteger = [this] { return enabled_ ? 1 : 0; };
    enabled.setInteger = [this](int32_t value) { SetEnabled(value != 0); };
    properties.push_back(std::move(enabled));

    return properties;
}

} // namespace vorlane
