// Private to the socket client: how long one turn of a wait loop may block.
#pragma once

#include <memory>

namespace vorlane {

// Raises E(message) when the component behind `lifetime` has been freed (by an event handler or by a
// command run inside a wait); the caller then touches nothing of it on the way out.
template <class E>
void LeaveIfFreed(const std::weak_ptr<const void>& lifetime, const char* message)
{
    if (lifetime.expired())
        throw E(message);
}

// The lookup and connect waits: at most this long per turn before the state flags are tested again.
inline constexpr int ShortWaitMs = 2;
// The read loops wait for the next notice, tick or other event; the bound only caps a turn should an
// event be missed, it never ends a read.
inline constexpr int IdleWaitMs = 100;

} // namespace vorlane
