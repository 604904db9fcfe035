// The test peers' address, 127.0.0.1 and a port, for the plain sockets of either system: included after
// the system's socket headers.
#pragma once

#include <cstdint>

namespace vorlane::test {

inline sockaddr_in Loopback(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

} // namespace vorlane::test
