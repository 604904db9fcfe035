// A wait inside a command: the event loop runs until what is awaited has happened, a deadline has
// passed, or the object that waits has been freed by something the loop ran (an event handler, a
// command the user gave meanwhile). After that last ending the caller touches nothing of the object.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace vorlane {

class EventWait {
public:
    using Clock = std::chrono::steady_clock;

    // A wait of the object whose lifetime `owner` tracks (it expires when the object is freed).
    static EventWait Of(std::weak_ptr<const void> owner);
    // A wait that no object owns, ended by a deadline at the latest.
    static EventWait Within(std::chrono::milliseconds limit);

    // Tests `condition` and, while it does not hold, runs one turn after another (handling what is
    // pending, then sleeping until the next event for at most `turnMs`). True when the condition holds;
    // false when the owner has been freed or the deadline has passed (see OwnerFreed).
    bool Until(const std::function<bool()>& condition, int turnMs);

    // One turn of a wait whose caller looks at the awaited state itself: handles what is pending and,
    // when `sleepMs` is above 0, sleeps until the next event for at most that long. False when the
    // wait must end: the owner has been freed or the deadline has passed.
    bool Turn(int sleepMs);

    bool OwnerFreed() const { return owner_ && owner_->expired(); }

private:
    EventWait(std::optional<std::weak_ptr<const void>> owner, std::optional<Clock::time_point> deadline)
        : owner_(std::move(owner)),
          deadline_(deadline)
    {
    }
    bool Over() const { return OwnerFreed() || (deadline_ && Clock::now() >= *deadline_); }

    std::optional<std::weak_ptr<const void>> owner_;
    std::optional<Clock::time_point> deadline_;
};

} // namespace vorlane
