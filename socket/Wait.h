// Private to the socket client: how long one turn of a wait loop may block.
#pragma once

namespace vorlane {

// The lookup and connect waits: at most this long per turn before the state flags are tested again.
inline constexpr int ShortWaitMs = 2;
// The read loops wait for the next notice, tick or other event; the bound only caps a turn should an
// event be missed, it never ends a read.
inline constexpr int IdleWaitMs = 100;

} // namespace vorlane
