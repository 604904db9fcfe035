// Firing an event whose handler may free the component that holds it.
#pragma once

#include <memory>
#include <utility>

namespace vorlane {

// Calls a copy of `handler` when one is set: a handler that frees its component frees the stored
// handler with it, which must not happen to the one still running.
template <class Handler, class... Args>
void FireEvent(const Handler& handler, Args&&... args)
{
    if (!handler)
        return;
    const Handler running = handler;
    running(std::forward<Args>(args)...);
}

// The same for a component whose code goes on after the event: true while the component behind
// `owner` is still alive afterwards; false when the handler freed it, and the caller then touches
// nothing of it.
template <class Handler, class... Args>
[[nodiscard]] bool FiredAndAlive(const std::weak_ptr<const void>& owner, const Handler& handler, Args&&... args)
{
    FireEvent(handler, std::forward<Args>(args)...);
    return !owner.expired();
}

} // namespace vorlane
