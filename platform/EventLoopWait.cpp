#include "platform/EventLoopWait.h"

#include <algorithm>

#include "platform/EventLoop.h"

namespace vorlane {

EventWait EventWait::Of(std::weak_ptr<const void> owner)
{
    return EventWait(std::move(owner), std::nullopt);
}

EventWait EventWait::Within(std::chrono::milliseconds limit)
{
    return EventWait(std::nullopt, Clock::now() + limit);
}

bool EventWait::Until(const std::function<bool()>& condition, int turnMs)
{
    while (!condition()) {
        if (!Turn(turnMs))
            return false;
    }
    return true;
}

bool EventWait::Turn(int sleepMs)
{
    if (Over())
        return false;
    if (sleepMs <= 0) {
        ProcessMessages();
    } else {
        int bound = sleepMs;
        if (deadline_) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline_ - Clock::now());
            bound = static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, sleepMs));
        }
        WaitForEvents(bound);
    }
    return !OwnerFreed();
}

} // namespace vorlane
