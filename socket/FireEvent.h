// Firing an event whose handler may free the component that holds it.
#pragma once

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

} // namespace vorlane
