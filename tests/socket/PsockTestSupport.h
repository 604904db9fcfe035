// Helpers of the socket component's tests: a component aimed at a loopback peer, the text of the error
// a call raises, and a peer session that only holds the connection.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/Exceptions.h"
#include "socket/Psock.h"
#include "tests/ErrorOf.h"
#include "tests/socket/SocketTestSupport.h"

namespace vorlane::test {

// Points `sock` at `port` on 127.0.0.1, with `timeOut` milliseconds for each wait. The port goes to the
// component as given, whole: what it makes of a number beyond 16 bits is its own to show.
inline void Aim(TPowersock& sock, int32_t port, int timeOut = 5000)
{
    sock.SetHost("127.0.0.1");
    sock.SetPort(port);
    sock.SetTimeOut(timeOut);
}

// The message of the socket error (an abort included) that `action` raises, or "(no error)".
inline std::string SockErrorOf(const std::function<void()>& action)
{
    return ErrorOf<ESockError>(action);
}

// A peer session that accepts, sends `greeting`, and holds the connection until the test ends.
inline TestPeer::Session HoldOpen(std::string greeting = "")
{
    return [greeting](int client, TestPeer& peer) {
        TestPeer::SendAll(client, greeting);
        peer.WaitForStop(60000);
    };
}

} // namespace vorlane::test
