// Private to the socket client: how long one turn of a wait may sleep.
#pragma once

namespace vorlane {

// The lookup, connect, accept and send waits: at most this long per turn before the state is looked
// at again.
inline constexpr int ShortWaitMs = 2;
// The read loops sleep until the next notice, tick or other event; the bound only caps a turn should
// an event be missed, it never ends a read.
inline constexpr int IdleWaitMs = 100;

} // namespace vorlane
